// An engine with the demo devices installed (or none) and its editor on the headless backend.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "editor/synthwin.h"
#include "engine/synth.h"
#include "gui/app.h"
#include "testinstall.h"

class EditorTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete win;
        win = nullptr;
        app.reset();
        synth.reset();
    }
    /// The engine, with the demo ReWire library installed unless withLibrary is false.
    CSynth& engine(bool withLibrary = true) {
        if (!synth) {
            if (withLibrary) library.addBundle(0, "ReWire.bundle");
            synth = std::make_unique<CSynth>();
            synth->getMixer()->setCloseTimeout(500);
        }
        return *synth;
    }
    /// Builds the editor from the engine's current state.
    CSynthWin& editor() {
        if (!win) {
            app = std::make_unique<CApp>();
            win = new CSynthWin(app.get(), &engine());
        }
        return *win;
    }
    CCtrl* control(int i) { return editor().clientGroup->control(i); }
    /// A click of the left button at a window position, as the view delivers it.
    void click(int x, int y) {
        editor().mouseDown(x, y, 1);
        editor().mouseUp(x, y, 1);
    }

    CTestInstall library;
    std::unique_ptr<CSynth> synth;
    std::unique_ptr<CApp> app;
    CSynthWin* win = nullptr;
};
