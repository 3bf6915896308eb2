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
    gate.close();
    deleteDevices();
    close();
    freeBuffers();
    gate.open();
}

void CReWireMixer::open(int sampleRate, int maxFrames) {
    if (isOpen) return;
    rate = sampleRate;
    ReWireOpenInfo info;
    ReWirePrepareOpenInfo(&info, sampleRate, maxFrames);
    if (RWMOpen(&info) != kReWireError_NoError) return;
    // A mixer opened again lists the devices afresh instead of adding them a second time.
    CGateClosed closed(gate);
    deleteDevices();
    readDevices();
    isOpen = true;
}

void CReWireMixer::readDevices() {
    int32_t count = 0;
    // A library that cannot say how many devices it has offers none.
    if (RWMGetDeviceCount(&count) != kReWireError_NoError) count = 0;
    if (count > kMaxDevices) count = kMaxDevices;
    for (int i = 0; i < count; i++) {
        ReWireDeviceInfo info;
        ReWirePrepareDeviceInfo(&info);
        // A device whose info cannot be read keeps its place with no name and no channels.
        if (RWMGetDeviceInfo(i, &info) != kReWireError_NoError) ReWirePrepareDeviceInfo(&info);
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
    CGateClosed closed(gate);
    if (waitForCloseOK()) {
        isOpen = false;
        // The library closed every device with the interface; their handles are gone.
        for (int i = 0; i < devices.getCount(); i++)
            static_cast<CReWireDevice*>(devices.items(i))->detach();
    }
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
    CGateClosed closed(gate);
    device->open();
    return device->isActive();
}

void CReWireMixer::closeDevice(int i) {
    CReWireDevice* device = getDevice(i);
    if (!device) return;
    CGateClosed closed(gate);
    device->close();
}

void CReWireMixer::setFormat(int sampleRate, int maxFrames) {
    if (sampleRate == rate && maxFrames == frames) return;
    CGateClosed closed(gate);
    freeBuffers();
    rate = sampleRate;
    frames = maxFrames;
    if (isOpen) tellAudioInfo();
    allocateBuffers();
}

// The buffers follow the host's format whatever the library answers: the host's blocks must
// fit them. A library that refuses the format is offered it again at every idle.
void CReWireMixer::tellAudioInfo() {
    ReWireAudioInfo info;
    ReWirePrepareAudioInfo(&info, rate, frames);
    audioInfoPending = RWMSetAudioInfo(&info) != kReWireError_NoError;
}

void CReWireMixer::createBuffers() {
    CGateClosed closed(gate);
    freeBuffers();
    allocateBuffers();
}

void CReWireMixer::deleteBuffers() {
    CGateClosed closed(gate);
    freeBuffers();
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

// A failed idle service has nothing to undo: the next idle tick calls it again.
void CReWireMixer::idle() {
    if (!isOpen) return;
    if (audioInfoPending) tellAudioInfo();
    RWMIdle();
}

void CReWireMixer::process(float** outputs, int frameCount, int eventCount,
                           const CMIDIDATA* events) {
    if (!isOpen || !outputs || frameCount < 0) return;
    if (frameCount > frames) frameCount = frames;
    bool changed = playChanged.exchange(false);
    for (int i = 0; i < devices.getCount(); i++) {
        CReWireDevice* device = static_cast<CReWireDevice*>(devices.items(i));
        if (device->isActive()) device->process(outputs, frameCount, eventCount, events, changed);
    }
}
