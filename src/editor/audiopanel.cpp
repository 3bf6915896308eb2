#include "editor/audiopanel.h"

#include <cmath>

#include "editor/palette.h"
#include "engine/synth.h"
#include "graphics/graphic.h"

CAudioPanel::CAudioPanel(CWin* win, CSynth* engine) : CGroup(win), synth(engine) {}

int CAudioPanel::barHeight(float peak) {
    // NaN fails both comparisons below and would round to garbage: treat it as silence
    if (!(peak > 0.0f)) return 0;
    float scaled = static_cast<float>(kMeterHeight) * peak;
    if (scaled >= static_cast<float>(kMeterHeight)) return kMeterHeight;
    return static_cast<int>(std::lround(scaled));
}

void CAudioPanel::paint(CGraphic* g, CRect r) {
    g->fillRect(colBk, r);
    const CAudioOuts& outs = synth->getMixer()->outs;
    int cx = r.left;
    int cy = r.top;
    for (int i = 0; i < CAudioOuts::kCount; i++) {
        CRect cell = asRect(cx, cy, cx + kMeterWidth, cy + kMeterHeight);
        if (outs.enabled[i]) g->fillRect(asColor(64, 64, 64), cell);
        int h = barHeight(outs.peak[i].load(std::memory_order_relaxed));
        if (h > 0)
            g->fillRect(colLeds, asRect(cx + 1, cy + kMeterHeight - h, cx + kMeterWidth - 1,
                                        cy + kMeterHeight));
        g->frameRect(colDark, cell);
        // the two halves of a stereo pair share their border line
        cx += kMeterWidth - 1;
        if (!outs.stereo[i]) cx += 5;
    }
    CGroup::paint(g, r);
}
