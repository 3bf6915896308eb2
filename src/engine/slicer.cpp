#include "engine/slicer.h"

#include "engine/synth.h"

CBlockWriter::CBlockWriter(CSynth& engine, float** outputs) : synth(engine) {
    std::copy(outputs, outputs + kOutputs, work);
}

void CBlockWriter::render(int frames) {
    int step = std::max(synth.getFrames(), 1);
    do {
        int n = std::min(frames, step);
        synth.process(work, n);
        for (float*& w : work)
            w += n;
        frames -= n;
    } while (frames > 0);
}

void CBlockWriter::midi(int message) {
    if (synth.midiInput(message)) return;
    render(0);
    synth.midiInput(message);
}
