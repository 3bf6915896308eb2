#include "rewire/mixer.h"

#include <new>

#include "foundation/os.h"
#include "rewire/rewiremixerapi.h"

CAudioOuts::CAudioOuts() {
    for (int n = 0; n < kCount; n++) {
        enabled[n] = 1;
        stereo[n] = n == 0 ? 1 : 0;
        peak[n].store(0.0f);
    }
}

CReWireMixer::CReWireMixer(int sampleRate, int maxFrames) : rate(sampleRate), frames(maxFrames) {
    allocateBuffers();
}

CReWireMixer::~CReWireMixer() {
    suspendProcessing();
    deleteDevices();
    close();
    freeBuffers();
}

void CReWireMixer::open(int sampleRate, int maxFrames) {
    if (isOpen) return;
    rate = sampleRate;
    ReWireOpenInfo info;
    ReWirePrepareOpenInfo(&info, sampleRate, maxFrames);
    if (RWMOpen(&info) != kReWireError_NoError) return;
    // A mixer opened again lists the devices afresh instead of adding them a second time.
    suspendProcessing();
    deleteDevices();
    readDevices();
    isOpen = true;
    resumeProcessing();
}

void CReWireMixer::readDevices() {
    int32_t count = 0;
    RWMGetDeviceCount(&count);
    if (count > kMaxDevices) count = kMaxDevices;
    for (int i = 0; i < count; i++) {
        ReWireDeviceInfo info;
        ReWirePrepareDeviceInfo(&info);
        RWMGetDeviceInfo(i, &info);
        info.fName[kReWireNameSize - 1] = 0;
        CReWireDevice* device = new CReWireDevice(this, i, info.fName);
        int channels = info.fChannelCount;
        if (channels < 0) channels = 0;
        if (channels > kReWireAudioChannelCount) channels = kReWireAudioChannelCount;
        device->setChannels(channels);
        for (int n = 0; n < channels; n++) {
            info.fChannelNames[n][kReWireNameSize - 1] = 0;
            device->setChannelName(n, info.fChannelNames[n]);
        }
        devices.add(device);
    }
}

void CReWireMixer::deleteDevices() {
    for (int i = 0; i < devices.getCount(); i++)
        delete static_cast<CReWireDevice*>(devices.items(i));
    devices.clear();
}

// Polls until the library allows closing and closes; false when the time-out passed first.
bool CReWireMixer::waitForCloseOK() {
    int start = asTimeInMS();
    for (;;) {
        ReWireBool ok = 0;
        if (RWMIsCloseOK(&ok) == kReWireError_NoError && ok && RWMClose() == kReWireError_NoError)
            return true;
        if (asTimeInMS() - start > closeTimeoutMS) return false;
        asSleep(1);
    }
}

void CReWireMixer::close() {
    if (!isOpen) return;
    ReWireBool ok = 0;
    if (RWMIsCloseOK(&ok) != kReWireError_NoError) return;
    suspendProcessing();
    if (waitForCloseOK()) {
        isOpen = false;
        // The library closed every device with the interface; their handles are gone.
        for (int i = 0; i < devices.getCount(); i++)
            static_cast<CReWireDevice*>(devices.items(i))->detach();
    }
    resumeProcessing();
}

CStr CReWireMixer::deviceName(int i) const {
    CReWireDevice* device = getDevice(i);
    return device ? device->getId() : CStr();
}

CReWireDevice* CReWireMixer::getDevice(int i) const {
    if (i < 0 || i >= devices.getCount()) return nullptr;
    return static_cast<CReWireDevice*>(devices.items(i));
}

bool CReWireMixer::openDevice(int i) {
    CReWireDevice* device = getDevice(i);
    if (!device) return false;
    suspendProcessing();
    device->open();
    resumeProcessing();
    return device->isActive();
}

void CReWireMixer::closeDevice(int i) {
    CReWireDevice* device = getDevice(i);
    if (!device) return;
    suspendProcessing();
    device->close();
    resumeProcessing();
}

void CReWireMixer::setFormat(int sampleRate, int maxFrames) {
    if (sampleRate == rate && maxFrames == frames) return;
    suspendProcessing();
    freeBuffers();
    rate = sampleRate;
    frames = maxFrames;
    if (isOpen) {
        ReWireAudioInfo info;
        ReWirePrepareAudioInfo(&info, sampleRate, maxFrames);
        RWMSetAudioInfo(&info);
    }
    allocateBuffers();
    resumeProcessing();
}

void CReWireMixer::createBuffers() {
    suspendProcessing();
    freeBuffers();
    allocateBuffers();
    resumeProcessing();
}

void CReWireMixer::deleteBuffers() {
    suspendProcessing();
    freeBuffers();
    resumeProcessing();
}

void CReWireMixer::allocateBuffers() {
    int size = frames > 0 ? frames : 1;
    for (float*& buffer : buffers)
        buffer = new (std::nothrow) float[size];
}

void CReWireMixer::freeBuffers() {
    for (float*& buffer : buffers) {
        delete[] buffer;
        buffer = nullptr;
    }
}

float* CReWireMixer::getBuffer(int n) const {
    return n >= 0 && n < CAudioOuts::kCount ? buffers[n] : nullptr;
}

void CReWireMixer::setPlaying(bool playing) {
    if (playing == isPlaying) return;
    isPlaying = playing;
    playChanged.store(true);
}

void CReWireMixer::setLocators(double start, double end) {
    loopStart = start;
    loopEnd = end;
}

void CReWireMixer::idle() {
    if (isOpen) RWMIdle();
}

void CReWireMixer::suspendProcessing() {
    suspended.fetch_add(1);
    // A block that entered before the flag was raised runs to its end.
    while (processUsers.load() > 0)
        asSleep(1);
}

void CReWireMixer::resumeProcessing() {
    suspended.fetch_sub(1);
}

void CReWireMixer::process(float** outputs, int frameCount, int eventCount,
                           const CMIDIDATA* events) {
    processUsers.fetch_add(1);
    if (suspended.load() == 0 && isOpen && outputs) {
        if (frameCount > frames) frameCount = frames;
        bool changed = playChanged.exchange(false);
        for (int i = 0; i < devices.getCount(); i++) {
            CReWireDevice* device = static_cast<CReWireDevice*>(devices.items(i));
            if (device->isActive())
                device->process(outputs, frameCount, eventCount, events, changed);
        }
    }
    processUsers.fetch_sub(1);
}
