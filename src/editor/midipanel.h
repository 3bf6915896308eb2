// The MIDI mapping rows: one step-arrow dropdown per mapping row, listing the open device's
// MIDI targets; the row's choice goes to the engine at once.
#pragma once

#include "gui/group.h"

class CDropdown;
class CSynthControl;

class CMIDIPanel : public CScrollPanel {
public:
    static constexpr int kRowLeft = 4;
    static constexpr int kRowTop = 4;
    static constexpr int kRowPitch = 20;
    static constexpr int kRowWidth = 256;
    static constexpr int kRowHeight = 18;

    CMIDIPanel(CWin* win, CSynthControl* engine);
    ~CMIDIPanel() override = default;

    void paint(CGraphic* g, CRect r) override;
    /// Rebuilds every row from the engine's mapping and the open device's targets.
    void update();
    void channelChanged(CObject* sender);
    void ddPaint(CObject* sender, CGraphic* g, CRect r);

    CSynthControl* synth;
};

/// Painting shared by the editor's dropdowns: the text rectangle and the arrow buttons.
CRect dropdownTextRect(CDropdown* dd, CRect r);
void drawDropdownArrows(CGraphic* g, CDropdown* dd, CRect r);
