#include "library.h"

#include "drumdevice.h"
#include "flatdevice.h"
#include "foundation/inifile.h"
#include "foundation/os.h"
#include "jackdevice.h"
#include "synthdevice.h"
#include "tonedevice.h"

namespace {
const char* const kRegistryFileName = "devices.ini";
const char* const kLibrarySection = "Library";
// Default for a bus name that the registry does not give, told apart from an empty one.
const char* const kNoName = "\x01";
const int kDefaultToneChannels = 8;
// A test latency of more than ten seconds at 96 kHz is a typing error.
const int kMaxLatency = 1 << 20;

int clampInt(int value, int low, int high) {
    return value < low ? low : (value > high ? high : value);
}

std::vector<CStr> splitNames(const CStr& text) {
    std::vector<CStr> names;
    CStr rest = text;
    while (rest.length() > 0) {
        int comma = rest.pos(",");
        names.push_back((comma < 0 ? rest : rest.sub(0, comma)).trim());
        rest = comma < 0 ? CStr() : rest.sub(comma + 1, -1);
    }
    return names;
}

// The buses a registry entry gives, or false when it gives none.
bool readBuses(const CIniReader& registry, const CStr& section, CBusLayout* layout) {
    int buses =
        clampInt(registry.readInteger(section, "Buses", 0), 0, kReWireReservedEventBusIndex);
    if (buses == 0) return false;
    int unnamed =
        clampInt(registry.readInteger(section, "BusChannels", 1), 0, kReWireEventChannelCount);
    CBusLayout given;
    for (int bus = 0; bus < buses; bus++) {
        CStr key = "Bus" + asStr(bus);
        CStr name = registry.readString(section, key, kNoName);
        if (name == kNoName) name = "Bus " + asStr(bus + 1);
        std::vector<CStr> channels = splitNames(registry.readString(section, key + "Channels", ""));
        if (channels.empty())
            for (int channel = 0; channel < unnamed; channel++)
                channels.push_back("Channel " + asStr(channel + 1));
        given.addBus(name, channels);
    }
    *layout = given;
    return true;
}

CJackDevice* createJackDevice(const CIniReader& registry, const CStr& section, const CStr& name,
                              CBusLayout* layout) {
    if (!CJackDevice::isAvailable()) return nullptr;
    CJackSettings settings;
    settings.channels = clampInt(registry.readInteger(section, "Channels", settings.channels), 1,
                                 CJackSettings::kMaxChannels);
    settings.midiPorts = clampInt(registry.readInteger(section, "MidiPorts", settings.midiPorts), 1,
                                  CJackSettings::kMaxMidiPorts);
    settings.clientName = registry.readString(section, "ClientName", settings.clientName);
    for (int n = 0; n < settings.channels; n++)
        settings.inputConnections[n] = registry.readString(section, "In" + asStr(n + 1), "");
    for (int port = 0; port < settings.midiPorts; port++)
        settings.midiConnections[port] = registry.readString(section, "Midi" + asStr(port + 1), "");
    *layout = CJackDevice::layoutFor(settings.midiPorts);
    return new CJackDevice(name, settings);
}

CBundleDevice* createDevice(const CIniReader& registry, const CStr& section, const CStr& name,
                            CBusLayout* layout) {
    CStr wanted = registry.readString(section, "Kind", "Synth").upperCase();
    if (wanted == "JACK") return createJackDevice(registry, section, name, layout);
    int channels = clampInt(registry.readInteger(section, "Channels", kDefaultToneChannels), 0,
                            CBundleDevice::kMaxChannels);
    if (wanted == "DRUMS") {
        *layout = CDrumDevice::defaultLayout();
        return new CDrumDevice(name);
    }
    if (wanted == "FLAT") {
        *layout = CBusLayout();
        return new CFlatDevice(name, channels);
    }
    if (wanted == "TONE") {
        *layout = CBusLayout();
        return new CToneDevice(name, channels);
    }
    *layout = CSynthDevice::defaultLayout();
    return new CSynthDevice(name);
}

void readBehaviour(const CIniReader& registry, const CStr& section, CDeviceBehaviour* behaviour) {
    behaviour->refuseOpen = registry.readInteger(section, "RefuseOpen", 0) != 0;
    behaviour->refuseClose = registry.readInteger(section, "RefuseClose", 0);
    behaviour->failDrive = registry.readInteger(section, "FailDrive", 0) != 0;
    behaviour->targetsChangeAfter = registry.readInteger(section, "TargetsChangeAfter", 0);
    int limit = registry.readInteger(section, "EventLimit", int(behaviour->outputEventLimit));
    behaviour->outputEventLimit = uint32_t(limit < 0 ? 0 : limit);
    behaviour->targetsChangeRepeat = registry.readInteger(section, "TargetsChangeRepeat", 0) != 0;
    behaviour->overstateEvents = registry.readInteger(section, "OverstateEvents", 0) != 0;
    behaviour->latency = clampInt(registry.readInteger(section, "Latency", 0), 0, kMaxLatency);
    behaviour->status = registry.readString(section, "Status", "");
}

CBusLayout changedLayout(const CBusLayout& layout) {
    CBusLayout changed = layout;
    if (changed.buses.size() < size_t(kReWireReservedEventBusIndex))
        changed.addBus("Changed", {"New"});
    return changed;
}
} // namespace

CReWireLibrary::CReWireLibrary(const CStr& folder) {
    CStr registry = addSep(folder) + kRegistryFileName;
    if (fileExists(registry))
        readRegistry(registry);
    else
        addDemoDevices();
}

CReWireLibrary::~CReWireLibrary() {
    for (CBundleDevice* device : devices)
        delete device;
}

void CReWireLibrary::addDemoDevices() {
    CBusLayout synth = CSynthDevice::defaultLayout();
    CBusLayout drums = CDrumDevice::defaultLayout();
    devices.push_back(new CSynthDevice("Poly Synth"));
    devices.back()->setLayouts(synth, synth);
    devices.push_back(new CDrumDevice("Drum Machine"));
    devices.back()->setLayouts(drums, drums);
    devices.push_back(new CToneDevice("Test Tones", kDefaultToneChannels));
    if (CJackDevice::isAvailable()) {
        CBusLayout jack = CJackDevice::layoutFor(1);
        devices.push_back(new CJackDevice("JACK", CJackSettings()));
        devices.back()->setLayouts(jack, jack);
    }
}

void CReWireLibrary::readRegistry(const CStr& path) {
    CIniReader registry(path);
    refuseClose = registry.readInteger(kLibrarySection, "RefuseClose", 0);
    int count = clampInt(registry.readInteger(kLibrarySection, "Devices", 0), 0, kMaxDevices);
    for (int i = 0; i < count; i++) {
        CStr section = "Device" + asStr(i);
        CStr name = registry.readString(section, "Name", "Device " + asStr(i + 1));
        CBusLayout layout;
        CBundleDevice* device = createDevice(registry, section, name, &layout);
        if (!device) continue;
        readBuses(registry, section, &layout);
        readBehaviour(registry, section, &device->behaviour);
        device->setLayouts(layout, changedLayout(layout));
        devices.push_back(device);
    }
}

CBundleDevice* CReWireLibrary::getDevice(int index) const {
    return index >= 0 && index < getDeviceCount() ? devices[size_t(index)] : nullptr;
}

CBundleDevice* CReWireLibrary::fromHandle(TRWMDeviceHandle handle) const {
    for (CBundleDevice* device : devices)
        if (device == handle) return device;
    return nullptr;
}

bool CReWireLibrary::askClose() {
    if (refuseClose < 0) return false;
    if (closeRefusals < refuseClose) {
        closeRefusals++;
        return false;
    }
    return true;
}

void CReWireLibrary::closeAllDevices() {
    for (CBundleDevice* device : devices)
        device->close();
}

void CReWireLibrary::idle() {
    idleCount.fetch_add(1);
    for (CBundleDevice* device : devices)
        device->idle();
}

void CReWireLibrary::setAudioInfo(int rate, int frames) {
    sampleRate.store(rate);
    maxFrames.store(frames);
    for (CBundleDevice* device : devices)
        device->setHostFormat(rate, frames);
}
