// The plug-in's editor: the device list, the sync switch, the buttons that add and remove MIDI
// mapping rows, the mapping rows and the output meters. It keeps no settings of its own: every
// control acts on the engine, and the whole editor can be rebuilt from the engine at any time.
#pragma once

#include "gui/pluginwin.h"

class CAudioPanel;
class CDropdown;
class CMIDIPanel;
class CSynthControl;

class CSynthWin : public CPluginWin {
public:
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 160;
    /// The meters fall by this much of full scale on every idle.
    static constexpr float kMeterDecay = 0.02f;

    CSynthWin(CApp* application, CSynthControl* engine);
    ~CSynthWin() override = default;

    /// Sets the shared skin items to the editor's colours.
    void setGui();
    /// Removes every control and builds the editor anew from the engine.
    void setup();
    void deviceChanged(CObject* sender);
    void syncClicked(CObject* sender);
    void syncPaint(CObject* sender, CGraphic* g, CRect r);
    void addClicked(CObject* sender);
    void removeClicked(CObject* sender);
    void updateMapping();
    void ddPaint(CObject* sender, CGraphic* g, CRect r);
    void idle() override;
    void updateLeds();

    CMIDIPanel* midiPanel = nullptr;
    CAudioPanel* audioPanel = nullptr;
    CSynthControl* synth;

private:
    void addTopRow(int left, int top);
    void addPanels(int top);
    void fillDeviceList(CDropdown* list);
    /// Sets the device list to the device the engine has open.
    void showChosenDevice();
    void lowerPeaks();

    CDropdown* deviceList = nullptr;
};
