// The output meters: one cell per plug-in output, with the bar of its peak level.
#pragma once

#include "gui/group.h"

class CSynthControl;

class CAudioPanel : public CGroup {
public:
    static constexpr int kMeterWidth = 12;
    static constexpr int kMeterHeight = 16;

    CAudioPanel(CWin* win, CSynthControl* engine);
    ~CAudioPanel() override = default;

    void paint(CGraphic* g, CRect r) override;

    /// Height in pixels of the bar for a peak level: 0 .. kMeterHeight.
    static int barHeight(float peak);

    CSynthControl* synth;
};
