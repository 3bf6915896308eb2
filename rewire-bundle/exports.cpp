// The twenty mixer entry points of our ReWire library, and three of its own that a mixer may
// look up besides (a device's latency and state, and how the host renders). Drive calls come from the audio thread
// while idle and information calls come from another: the devices and their MIDI layouts are
// built when the mixer opens and stay unchanged until it closes; what changes while driving is
// held in atomics.
#include <dlfcn.h>
#include <type_traits>

#include "foundation/str.h"
#include "library.h"
#include "libraryerrors.h"
#include "rewire/rewiremixerapi.h"

#define RWB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
CReWireLibrary* gLibrary = nullptr;

// Folder of this shared object: the registry lives next to it.
CStr libraryFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&libraryFolder), &info) || !info.dli_fname) return CStr();
    return extractFilePath(info.dli_fname);
}

template <typename Record> bool isRecord(const Record* record) {
    return record && record->fRecordSize == sizeof(Record);
}

CBundleDevice* openDevice(TRWMDeviceHandle handle) {
    CBundleDevice* device = gLibrary ? gLibrary->fromHandle(handle) : nullptr;
    return device && device->isOpen() ? device : nullptr;
}

void copyName(char* to, const CStr& from) {
    for (int i = 0; i < kReWireNameSize; i++)
        to[i] = i < from.length() ? from[i] : 0;
    to[kReWireNameSize - 1] = 0;
}
} // namespace

RWB_EXPORT ReWireError RWM2OpenImp(int32_t codeVersion, const ReWireOpenInfo* openInfo) {
    if (gLibrary) return kReWireError_AlreadyOpen;
    if (codeVersion != kReWireMixerInterfaceVersion) return kLibraryError_WrongInterfaceVersion;
    if (!isRecord(openInfo) || !isRecord(&openInfo->fAudioInfo)) return kLibraryError_BadParameter;
    gLibrary = new CReWireLibrary(libraryFolder());
    gLibrary->setAudioInfo(openInfo->fAudioInfo.fSampleRate, openInfo->fAudioInfo.fBlockFramesMax);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2IsCloseOKImp(ReWireBool* okFlag) {
    if (!gLibrary) return kLibraryError_NotOpen;
    if (!okFlag) return kLibraryError_BadParameter;
    *okFlag = gLibrary->askClose() ? 1 : 0;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2CloseImp() {
    if (!gLibrary) return kLibraryError_NotOpen;
    if (!gLibrary->askClose()) return kLibraryError_Refused;
    gLibrary->closeAllDevices();
    delete gLibrary;
    gLibrary = nullptr;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetDeviceCountImp(int32_t* count) {
    if (!gLibrary) return kLibraryError_NotOpen;
    if (!count) return kLibraryError_BadParameter;
    *count = gLibrary->getDeviceCount();
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetDeviceInfoImp(int32_t deviceIndex, ReWireDeviceInfo* info) {
    if (!gLibrary) return kLibraryError_NotOpen;
    CBundleDevice* device = gLibrary->getDevice(deviceIndex);
    if (!device || !isRecord(info)) return kLibraryError_BadParameter;
    device->fillDeviceInfo(info);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetDeviceInfoByHandleImp(TRWMDeviceHandle handle,
                                                    ReWireDeviceInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !isRecord(info)) return kLibraryError_BadParameter;
    device->fillDeviceInfo(info);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2OpenDeviceImp(int32_t deviceIndex, TRWMDeviceHandle* handle) {
    if (!gLibrary) return kLibraryError_NotOpen;
    CBundleDevice* device = gLibrary->getDevice(deviceIndex);
    if (!device || !handle) return kLibraryError_BadParameter;
    if (!device->open()) return kLibraryError_Refused;
    *handle = device;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2IsCloseDeviceOKImp(TRWMDeviceHandle handle, ReWireBool* okFlag) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !okFlag) return kLibraryError_BadParameter;
    *okFlag = device->askClose() ? 1 : 0;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2CloseDeviceImp(TRWMDeviceHandle handle) {
    CBundleDevice* device = openDevice(handle);
    if (!device) return kLibraryError_BadParameter;
    if (!device->askClose()) return kLibraryError_Refused;
    device->close();
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2DriveAudioImp(TRWMDeviceHandle handle,
                                         const ReWireDriveAudioInputParams* input,
                                         ReWireDriveAudioOutputParams* output) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !isRecord(input) || !isRecord(output)) return kLibraryError_BadParameter;
    return device->drive(*input, *output, gLibrary->getSampleRate());
}

RWB_EXPORT ReWireError RWM2IdleImp() {
    if (!gLibrary) return kLibraryError_NotOpen;
    gLibrary->idle();
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2LaunchPanelAppImp(TRWMDeviceHandle handle) {
    CBundleDevice* device = openDevice(handle);
    if (!device) return kLibraryError_BadParameter;
    device->setPanelLaunched(true);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2IsPanelAppLaunchedImp(TRWMDeviceHandle handle, ReWireBool* flag) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !flag) return kLibraryError_BadParameter;
    *flag = device->isPanelLaunched() ? 1 : 0;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2QuitPanelAppImp(TRWMDeviceHandle handle) {
    CBundleDevice* device = openDevice(handle);
    if (!device) return kLibraryError_BadParameter;
    device->setPanelLaunched(false);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetEventInfoImp(TRWMDeviceHandle handle, ReWireEventInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !isRecord(info)) return kLibraryError_BadParameter;
    const CBusLayout& layout = device->getLayout();
    ReWireClearBitField(info->fBusesInUse, kReWireEventBusCount);
    for (size_t bus = 0; bus < layout.buses.size() && bus < kReWireReservedEventBusIndex; bus++)
        ReWireSetBitInBitField(info->fBusesInUse, uint16_t(bus));
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetEventBusInfoImp(TRWMDeviceHandle handle, uint16_t busIndex,
                                              ReWireEventBusInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !isRecord(info)) return kLibraryError_BadParameter;
    const CBusLayout::Bus* bus = device->getLayout().getBus(busIndex);
    if (!bus) return kLibraryError_BadParameter;
    info->fChannelsInUse[0] = bus->channelsInUse;
    copyName(info->fBusName, bus->name);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetEventChannelInfoImp(TRWMDeviceHandle handle,
                                                  const ReWireEventTarget* target,
                                                  ReWireEventChannelInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !target || !isRecord(info)) return kLibraryError_BadParameter;
    const CBusLayout& layout = device->getLayout();
    if (!layout.hasTarget(*target)) return kLibraryError_BadParameter;
    copyName(info->fChannelName, layout.getBus(target->fBus)->channelNames[target->fChannel]);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWM2GetControllerInfoImp(TRWMDeviceHandle handle,
                                                const ReWireEventTarget* target,
                                                uint16_t controllerIndex,
                                                ReWireEventControllerInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !target || !isRecord(info) || controllerIndex > 127)
        return kLibraryError_BadParameter;
    // Our devices describe no controllers.
    return device->getLayout().hasTarget(*target) ? kLibraryError_Refused
                                                  : kLibraryError_BadParameter;
}

RWB_EXPORT ReWireError RWM2GetNoteInfoImp(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                                          uint16_t noteIndex, ReWireEventNoteInfo* info) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !target || !isRecord(info) || noteIndex > 127) return kLibraryError_BadParameter;
    // Our devices describe no notes.
    return device->getLayout().hasTarget(*target) ? kLibraryError_Refused
                                                  : kLibraryError_BadParameter;
}

RWB_EXPORT ReWireError RWM2SetAudioInfoImp(const ReWireAudioInfo* info) {
    if (!gLibrary) return kLibraryError_NotOpen;
    if (!isRecord(info) || info->fSampleRate <= 0 || info->fBlockFramesMax <= 0)
        return kLibraryError_BadParameter;
    gLibrary->setAudioInfo(info->fSampleRate, info->fBlockFramesMax);
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWBGetDeviceLatencyImp(TRWMDeviceHandle handle, int32_t* frames) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !frames) return kLibraryError_BadParameter;
    int latency = device->getLatency();
    *frames = latency > 0 ? latency : 0;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWBGetDeviceStatusImp(TRWMDeviceHandle handle, char* text,
                                             int32_t textBytes) {
    CBundleDevice* device = openDevice(handle);
    if (!device || !text || textBytes <= 0) return kLibraryError_BadParameter;
    CStr status = device->getStatus();
    int length = status.length() < textBytes - 1 ? status.length() : textBytes - 1;
    for (int i = 0; i < length; i++)
        text[i] = status[i];
    text[length] = 0;
    return kReWireError_NoError;
}

RWB_EXPORT ReWireError RWBSetDeviceRenderModeImp(TRWMDeviceHandle handle, int32_t mode) {
    CBundleDevice* device = openDevice(handle);
    if (!device || mode < kRWBRenderUnknown || mode > kRWBRenderOffline)
        return kLibraryError_BadParameter;
    device->setRenderMode(mode);
    return kReWireError_NoError;
}

// The exports keep the signatures the mixer looks them up with.
static_assert(std::is_same<decltype(&RWM2OpenImp), TRWM2OpenProc>::value, "open");
static_assert(std::is_same<decltype(&RWM2IsCloseOKImp), TRWM2IsCloseOKProc>::value, "is close");
static_assert(std::is_same<decltype(&RWM2CloseImp), TRWM2CloseProc>::value, "close");
static_assert(std::is_same<decltype(&RWM2GetDeviceCountImp), TRWM2GetDeviceCountProc>::value,
              "device count");
static_assert(std::is_same<decltype(&RWM2GetDeviceInfoImp), TRWM2GetDeviceInfoProc>::value,
              "device info");
static_assert(
    std::is_same<decltype(&RWM2GetDeviceInfoByHandleImp), TRWM2GetDeviceInfoByHandleProc>::value,
    "device info by handle");
static_assert(std::is_same<decltype(&RWM2OpenDeviceImp), TRWM2OpenDeviceProc>::value, "open dev");
static_assert(std::is_same<decltype(&RWM2IsCloseDeviceOKImp), TRWM2IsCloseDeviceOKProc>::value,
              "is close device");
static_assert(std::is_same<decltype(&RWM2CloseDeviceImp), TRWM2CloseDeviceProc>::value, "close");
static_assert(std::is_same<decltype(&RWM2DriveAudioImp), TRWM2DriveAudioProc>::value, "drive");
static_assert(std::is_same<decltype(&RWM2IdleImp), TRWM2IdleProc>::value, "idle");
static_assert(std::is_same<decltype(&RWM2LaunchPanelAppImp), TRWM2LaunchPanelAppProc>::value,
              "launch");
static_assert(
    std::is_same<decltype(&RWM2IsPanelAppLaunchedImp), TRWM2IsPanelAppLaunchedProc>::value,
    "launched");
static_assert(std::is_same<decltype(&RWM2QuitPanelAppImp), TRWM2QuitPanelAppProc>::value, "quit");
static_assert(std::is_same<decltype(&RWM2GetEventInfoImp), TRWM2GetEventInfoProc>::value, "info");
static_assert(std::is_same<decltype(&RWM2GetEventBusInfoImp), TRWM2GetEventBusInfoProc>::value,
              "bus info");
static_assert(
    std::is_same<decltype(&RWM2GetEventChannelInfoImp), TRWM2GetEventChannelInfoProc>::value,
    "channel info");
static_assert(std::is_same<decltype(&RWM2GetControllerInfoImp), TRWM2GetControllerInfoProc>::value,
              "controller info");
static_assert(std::is_same<decltype(&RWM2GetNoteInfoImp), TRWM2GetNoteInfoProc>::value, "note");
static_assert(std::is_same<decltype(&RWM2SetAudioInfoImp), TRWM2SetAudioInfoProc>::value,
              "audio info");
static_assert(std::is_same<decltype(&RWBGetDeviceLatencyImp), TRWBGetDeviceLatencyProc>::value,
              "latency");
static_assert(std::is_same<decltype(&RWBGetDeviceStatusImp), TRWBGetDeviceStatusProc>::value,
              "status");
static_assert(
    std::is_same<decltype(&RWBSetDeviceRenderModeImp), TRWBSetDeviceRenderModeProc>::value,
    "render mode");
