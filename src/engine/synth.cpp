#include "engine/synth.h"

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
}

CSynth::~CSynth() {
    CGateClosed closed(gate);
    delete mixer;
    mixer = nullptr;
    device = nullptr;
    // the editor goes last: nothing drives it once the mixer is gone
    closeEditor();
}

void CSynth::setLocators(double left, double right) {
    leftLocator = left;
    rightLocator = right;
}

void CSynth::midiInput(int message) {
    if (midiCount >= kMaxQueuedMidi) return;
    CMIDIDATA& entry = midiData[midiCount];
    entry.frame = 0;
    entry.message = message;
    entry.target = mapping.getChannel(chByte(message));
    if (entry.target != -1) midiCount++;
}

void CSynth::process(float** outputs, int frameCount) {
    mixer->setPlaying(playing && sync.load() == 1);
    mixer->setPos(pos);
    mixer->setTempo(tempo);
    mixer->setLoop(loop);
    mixer->setLocators(leftLocator, rightLocator);
    mixer->process(outputs, frameCount, midiCount, midiData);
    midiCount = 0;
    if (mixer->getTargetsChanged()) {
        mixer->setTargetsChanged(false);
        busesChanged.store(true);
    }
}

void CSynth::setRate(int sampleRate) {
    if (sampleRate == rate) return;
    CGateClosed closed(gate);
    rate = sampleRate;
    mixer->setFormat(rate, frames);
}

void CSynth::setFrames(int maxFrames) {
    if (maxFrames == frames) return;
    CGateClosed closed(gate);
    frames = maxFrames;
    mixer->setFormat(rate, frames);
}

void CSynth::setDevice(int index) {
    CGateClosed closed(gate);
    if (deviceIndex > -1) {
        mixer->closeDevice(deviceIndex);
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
    if (busesChanged.exchange(false)) {
        refreshBusInfo();
        updateIdle(kIdleRebuildMapping, false);
    }
    idleEditor();
}

void CSynth::refreshBusInfo() {
    if (!device) return;
    CGateClosed closed(gate);
    device->getBusInfo();
}

void CSynth::updateIdle(int bits, bool clear) {
    if (clear)
        idleFlags &= ~bits;
    else
        idleFlags |= bits;
}

void CSynth::addMapRow(int target) {
    CGateClosed closed(gate);
    mapping.addMap(target);
}

void CSynth::removeMapRow() {
    CGateClosed closed(gate);
    mapping.removeMap();
}

void CSynth::setMapTarget(int row, int target) {
    CGateClosed closed(gate);
    mapping.setChannel(row, target);
}

void CSynth::resetMapping() {
    CGateClosed closed(gate);
    mapping.reset();
}
