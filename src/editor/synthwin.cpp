#include "editor/synthwin.h"

#include <initializer_list>

#include "editor/audiopanel.h"
#include "editor/midipanel.h"
#include "editor/palette.h"
#include "editor/synthcontrol.h"
#include "graphics/draw.h"
#include "graphics/skin_item.h"
#include "gui/app.h"
#include "gui/button.h"
#include "gui/dropdown.h"
#include "gui/scrollbar.h"

namespace {
const int grey1 = asColor(64, 64, 64);
const int grey2 = asColor(128, 128, 128);
// The layout: a row of controls at the top, the mapping rows, a separator, the meters.
const int margin = 8;
const int buttonSize = 18;
const int buttonGap = 4;
const int deviceListWidth = 160;
/// The top row's height and the gap below it.
const int topRowStep = 28;
/// The "+" button keeps this far from the right edge, leaving room for the "-" button.
const int addButtonRightInset = 30;
/// Panels start this wide; the alignment stretches them to the window's width.
const int panelInitialWidth = 128;
const int midiPanelHeight = 88;
const int separatorHeight = 2;
const int meterPanelHeight = 32;
/// The meters leave this much room on the right.
const int meterPanelRightInset = 80;
} // namespace

CSynthWin::CSynthWin(CApp* application, CSynthControl* engine)
    : CPluginWin(application, kWidth, kHeight), synth(engine) {
    setGui();
    setup();
}

void CSynthWin::setGui() {
    setGuiFill(&clWinBkgnd, colBk);
    setGuiText(&clWinBkgnd, clWhite);
    setGuiFrame(&clWinBkgnd, 1, colDark);
    setGuiFill(&clDropdown, colDark);
    setGuiText(&clDropdown, clWhite);
    setGuiSymbol(&clDropdown, colLow);
    setGuiFill(&clDropdownMenu, colBk);
    setGuiText(&clDropdownMenu, clWhite);
    setGuiFrame(&clDropdownMenu, 1, colDark);
    setGuiFill(&clDropdownMenuSelected, colDark);
    setGuiText(&clDropdownMenuSelected, colText);
    for (CGuiItem2* bar : {&clScrollbarHorz, &clScrollbarVert})
        setGuiFill(bar, colDark);
    for (CGuiItem2* thumb : {&clScrollbarHorzThumb, &clScrollbarVertThumb})
        setGuiFill(thumb, colPanel);
    for (CGuiItem2* button : {&clScrollbarButtonLeft, &clScrollbarButtonUp, &clScrollbarButtonRight,
                              &clScrollbarButtonDown}) {
        setGuiFill(button, colPanel);
        setGuiSymbol(button, colDark);
    }
}

void CSynthWin::fillDeviceList(CDropdown* list) {
    int count = synth->deviceCount();
    if (count > 0) {
        list->add("<none>");
        for (int i = 0; i < count; i++)
            list->add(synth->deviceName(i));
        list->index = synth->getDeviceIndex() + 1;
    } else {
        list->add("<ReWire not available>");
        list->index = 0;
    }
}

void CSynthWin::setup() {
    clear();
    addTopRow(margin, margin);
    addPanels(margin + topRowStep);
    updateMapping();
    resized();
    redraw();
}

// The device list, the sync switch and the buttons that add and remove mapping rows.
void CSynthWin::addTopRow(int left, int top) {
    int cx = left;
    CDropdown* devices = new CDropdown(this);
    deviceList = devices;
    devices->setBounds(cx, top, deviceListWidth, buttonSize);
    fillDeviceList(devices);
    devices->onChange = new _COnChange<CSynthWin>(this, &CSynthWin::deviceChanged);
    devices->onPaint = new _COnPaint<CSynthWin>(this, &CSynthWin::ddPaint);
    addControl(devices);
    cx += deviceListWidth + margin;

    CButton* syncSwitch = new CButton(this);
    syncSwitch->setBounds(cx, top, buttonSize, buttonSize);
    syncSwitch->onChange = new _COnChange<CSynthWin>(this, &CSynthWin::syncClicked);
    syncSwitch->onPaint = new _COnPaint<CSynthWin>(this, &CSynthWin::syncPaint);
    addControl(syncSwitch);
    cx += buttonSize + buttonGap;

    CButton* add = new CButton(this);
    add->setBounds(cx, top, buttonSize, buttonSize);
    add->setText("+");
    add->setAlign(alignKeepRight, addButtonRightInset, 0);
    add->onChange = new _COnChange<CSynthWin>(this, &CSynthWin::addClicked);
    addControl(add);
    cx += buttonSize + buttonGap;

    CButton* remove = new CButton(this);
    remove->setBounds(cx, top, buttonSize, buttonSize);
    remove->setText("-");
    remove->setAlign(alignKeepRight, margin, 0);
    remove->onChange = new _COnChange<CSynthWin>(this, &CSynthWin::removeClicked);
    addControl(remove);
}

// The mapping rows, a separator across the whole window, and the output meters below it.
void CSynthWin::addPanels(int top) {
    int cy = top;
    midiPanel = new CMIDIPanel(this, synth);
    midiPanel->setBounds(margin, cy, panelInitialWidth, midiPanelHeight);
    midiPanel->setAlign(alignStretchWidth, margin, 0);
    midiPanel->hScroll->setVisible(false);
    addControl(midiPanel);
    cy += midiPanelHeight + margin;

    CSeparator* separator = new CSeparator(this);
    separator->setBounds(0, cy, 0, separatorHeight);
    separator->setAlign(alignStretchWidth, 0, 0);
    addControl(separator);
    cy += margin;

    audioPanel = new CAudioPanel(this, synth);
    audioPanel->setBounds(margin, cy, panelInitialWidth, meterPanelHeight);
    audioPanel->setAlign(alignStretchWidth, meterPanelRightInset, 0);
    addControl(audioPanel);
}

void CSynthWin::deviceChanged(CObject* sender) {
    synth->setDevice(static_cast<CDropdown*>(sender)->index - 1);
    // A device that will not close stays chosen: the list goes back to it.
    showChosenDevice();
    // the rows list the targets of the device now open
    synth->updateIdle(CSynthControl::kIdleRebuildMapping, false);
}

void CSynthWin::showChosenDevice() {
    if (!deviceList || synth->deviceCount() == 0) return;
    int shown = synth->getDeviceIndex() + 1;
    if (deviceList->index == shown) return;
    deviceList->index = shown;
    deviceList->redraw();
}

void CSynthWin::syncClicked(CObject* sender) {
    synth->setSync(synth->getSync() == 0 ? 1 : 0);
    asCtrl(sender)->redraw();
}

void CSynthWin::syncPaint(CObject*, CGraphic* g, CRect r) {
    roundRect(g, colDark, r);
    if (synth->getSync())
        drawArrow(g, colText, r, alignRight, 3);
    else
        g->fillRect(colText, sizeRect(r, 6, 6, -6, -6));
}

void CSynthWin::addClicked(CObject*) {
    synth->addMapRow(-1);
    synth->updateIdle(CSynthControl::kIdleRebuildMapping, false);
}

void CSynthWin::removeClicked(CObject*) {
    synth->removeMapRow();
    synth->updateIdle(CSynthControl::kIdleRebuildMapping, false);
}

void CSynthWin::updateMapping() {
    midiPanel->update();
}

void CSynthWin::ddPaint(CObject* sender, CGraphic* g, CRect r) {
    CDropdown* dd = static_cast<CDropdown*>(sender);
    const int left = r.left;
    const int top = r.top;
    roundRect(g, colDark, r);
    CRect t = dropdownTextRect(dd, r);
    // the icon: two plugs joined by a cable
    g->setLineCol(grey2);
    g->drawLine(left + 3, top + 6, left + 6, top + 6);
    g->drawLine(left + 10, top + 6, left + 13, top + 6);
    g->drawLine(left + 3, top + 11, left + 6, top + 11);
    g->drawLine(left + 10, top + 11, left + 13, top + 11);
    g->drawLine(left + 5, top + 6, left + 10, top + 11);
    g->drawLine(left + 6, top + 10, left + 7, top + 10);
    g->drawLine(left + 9, top + 7, left + 10, top + 7);
    g->drawText(colLeds, dd->defaultText(), sizeRect(t, 16, 0, 0, 0), dd->alignFlags);
    g->setLineCol(grey1);
    g->drawLine(left + 16, r.top, left + 16, r.bottom);
    drawDropdownArrows(g, dd, r);
}

void CSynthWin::idle() {
    if (synth->takeIdleFlags(CSynthControl::kIdleRebuildMapping)) {
        showChosenDevice();
        updateMapping();
    }
    updateLeds();
}

void CSynthWin::updateLeds() {
    if (visible) {
        // the toolkit answers a direct drawing request by invalidating the whole window: the
        // next paint pass of the view draws the meters with everything else
        CGraphic* g = nullptr;
        CRect whole = asRect(0, 0, width, height);
        if (app->startDraw(this, &g, whole, true)) app->endDraw(this, g, whole, true);
    }
    lowerPeaks();
}

void CSynthWin::lowerPeaks() {
    for (int i = 0; i < CSynthControl::kOutputs; i++)
        synth->lowerPeak(i, kMeterDecay);
}
