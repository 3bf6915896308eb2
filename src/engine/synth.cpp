#include "engine/synth.h"

#include <cmath>

#include "rewire/midi.h"

namespace {
// Engines are numbered from 1 in creation order; the number is the engine's id. Hosts create
// instances on several threads.
std::atomic<int> recount{0};
} // namespace

CSynth::CSynth() {
    setRate(44100);
    setId(asStr(++recount));
    mixer = new CReWireMixer(44100, 1024);
    mixer->open(rate, frames);
    routes.store(new CMIDIRoutes(mapping));
}

CSynth::~CSynth() {
    // the mixer keeps blocks out while it goes
    delete mixer;
    mixer = nullptr;
    device = nullptr;
    delete routes.exchange(nullptr);
}

bool CSynth::beginBlock() {
    if (!mixer->gate.enter()) return false;
    blockRoutes = routes.load();
    // Each block starts at the position the host gave last.
    framesSincePos = 0;
    return true;
}

void CSynth::endBlock() {
    blockRoutes = nullptr;
    mixer->gate.leave();
}

void CSynth::setPos(double quarterNotes) {
    pos = quarterNotes;
    framesSincePos = 0;
}

void CSynth::setMetre(int beats, int unit) {
    bool powerOfTwo = unit > 0 && (unit & (unit - 1)) == 0;
    bool valid = beats >= 1 && beats <= kMaxBeatsPerBar && powerOfTwo && unit <= kMaxBeatUnit;
    beatsPerBar = valid ? beats : 4;
    beatUnit = valid ? unit : 4;
}

void CSynth::setLocators(double left, double right) {
    leftLocator = left;
    rightLocator = right;
}

bool CSynth::midiInput(int message) {
    if (midiCount >= kMaxQueuedMidi) return false;
    // Outside a block (a caller on one thread) the current copy is safe to read.
    const CMIDIRoutes* route = blockRoutes ? blockRoutes : routes.load();
    CMIDIDATA& entry = midiData[midiCount];
    entry.frame = 0;
    entry.message = message;
    entry.target = route->getTarget(chByte(message));
    if (entry.target != -1) midiCount++;
    return true;
}

// The block's position moved on by the frames already rendered; a slice past the right
// locator of a running cycle starts again from the left one.
double CSynth::slicePosition() const {
    double at = pos + double(framesSincePos) * tempo / (60.0 * rate);
    double length = rightLocator - leftLocator;
    if (loop && length > 0 && pos < rightLocator && at >= rightLocator)
        at = leftLocator + std::fmod(at - rightLocator, length);
    return at;
}

void CSynth::process(float** outputs, int frameCount) {
    mixer->setPlaying(playing && sync.load() == 1);
    mixer->setPos(slicePosition());
    mixer->setTempo(tempo);
    mixer->setMetre(beatsPerBar, beatUnit);
    mixer->setLoop(loop);
    mixer->setLocators(leftLocator, rightLocator);
    mixer->setRenderMode(renderMode);
    mixer->process(outputs, frameCount, midiCount, midiData);
    midiCount = 0;
    if (frameCount > 0) framesSincePos += frameCount;
    if (mixer->getTargetsChanged()) {
        mixer->setTargetsChanged(false);
        busesChanged.store(true);
    }
}

void CSynth::setRate(int sampleRate) {
    if (sampleRate == rate) return;
    CGateClosed closed(mixer->gate);
    rate = sampleRate;
    mixer->setFormat(rate, frames);
}

void CSynth::setFrames(int maxFrames) {
    if (maxFrames == frames) return;
    CGateClosed closed(mixer->gate);
    frames = maxFrames;
    mixer->setFormat(rate, frames);
}

void CSynth::setDevice(int index) {
    // One closing for both steps: a switch silences at most one block.
    CGateClosed closed(mixer->gate);
    wantedDevice.store(kNoSwitch);
    if (deviceIndex > -1) {
        mixer->closeDevice(deviceIndex);
        // A device that will not close goes on sounding: it stays the one shown and saved, so
        // what the user sees is what plays.
        if (device->isActive()) {
            if (index != deviceIndex) wantedDevice.store(index);
            return;
        }
        deviceIndex = -1;
        device = nullptr;
    }
    if (index >= 0 && mixer->openDevice(index)) {
        deviceIndex = index;
        device = mixer->getDevice(index);
    }
    chosenDevice.store(deviceIndex);
}

void CSynth::idle() {
    mixer->idle();
    retryDeviceSwitch();
    if (busesChanged.exchange(false)) {
        refreshBusInfo();
        updateIdle(kIdleRebuildMapping, false);
    }
}

// The device is asked first whether it may close: while it says no, blocks go on rendering.
void CSynth::retryDeviceSwitch() {
    if (wantedDevice.load() == kNoSwitch) return;
    CGateEdit editing(mixer->gate);
    int wanted = wantedDevice.load();
    if (wanted == kNoSwitch || (device && !device->mayClose())) return;
    setDevice(wanted);
    updateIdle(kIdleRebuildMapping, false);
}

int CSynth::getLatency() const {
    return device ? device->getLatency() : 0;
}

CStr CSynth::getDeviceStatus() const {
    return device ? device->getStatus() : CStr();
}

void CSynth::refreshBusInfo() {
    CGateEdit editing(mixer->gate);
    if (device) device->getBusInfo();
}

void CSynth::updateIdle(int bits, bool clear) {
    if (clear)
        idleFlags.fetch_and(~bits);
    else
        idleFlags.fetch_or(bits);
}

void CSynth::publishRoutes() {
    mixer->gate.retire(routes.exchange(new CMIDIRoutes(mapping)));
}

void CSynth::addMapRow(int target) {
    CGateEdit editing(mixer->gate);
    mapping.addMap(target);
    publishRoutes();
}

void CSynth::removeMapRow() {
    CGateEdit editing(mixer->gate);
    mapping.removeMap();
    publishRoutes();
}

void CSynth::setMapTarget(int row, int target) {
    CGateEdit editing(mixer->gate);
    mapping.setChannel(row, target);
    publishRoutes();
}

void CSynth::resetMapping() {
    CGateEdit editing(mixer->gate);
    mapping.reset();
    publishRoutes();
}
