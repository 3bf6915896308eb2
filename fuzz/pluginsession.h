// One plug-in, with our ReWire library installed for it, kept for the whole fuzzing run.
#pragma once

#include "plughost.h"

struct FuzzSession {
    CTestInstall library;
    stress::Plugin plugin;
};

inline FuzzSession& fuzzSession() {
    static FuzzSession* session = [] {
        auto* s = new FuzzSession;
        s->plugin.synth().getMixer()->setCloseTimeout(0);
        return s;
    }();
    return *session;
}
