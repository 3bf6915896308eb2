#include "editor/audiopanel.h"

#include <cmath>

#include "editor/palette.h"
#include "editor/synthcontrol.h"
#include "graphics/graphic.h"

CAudioPanel::CAudioPanel(CWin* win, CSynthControl* engine) : CGroup(win), synth(engine) {}

int CAudioPanel::barHeight(float peak) {
    // NaN fails both comparisons below and would round to garbage: treat it as silence
    if (!(peak > 0.0f)) return 0;
    float scaled = static_cast<float>(kMeterHeight) * peak;
    if (scaled >= static_cast<float>(kMeterHeight)) return kMeterHeight;
    return static_cast<int>(std::lround(scaled));
}

void CAudioPanel::paint(CGraphic* g, CRect r) {
    g->fillRect(colBk, r);
    int cx = r.left;
    int cy = r.top;
    for (int i = 0; i < CSynthControl::kOutputs; i++) {
        CRect cell = asRect(cx, cy, cx + kMeterWidth, cy + kMeterHeight);
        if (synth->outputEnabled(i)) g->fillRect(asColor(64, 64, 64), cell);
        int h = barHeight(synth->peakLevel(i));
        if (h > 0)
            g->fillRect(colLeds, asRect(cx + 1, cy + kMeterHeight - h, cx + kMeterWidth - 1,
                                        cy + kMeterHeight));
        g->frameRect(colDark, cell);
        // the two halves of a stereo pair share their border line
        cx += kMeterWidth - 1;
        if (!synth->outputStereo(i)) cx += 5;
    }
    CGroup::paint(g, r);
}
