// One plug-in, with our ReWire library installed for it, kept for the whole fuzzing run.
#pragma once

#include <cstdlib>
#include <filesystem>

#include "plughost.h"

struct FuzzSession {
    CTestInstall library;
    stress::Plugin plugin;
};

inline FuzzSession& fuzzSession() {
    static FuzzSession* session = [] {
        auto* s = new FuzzSession;
        s->plugin.synth().getMixer()->setCloseTimeout(0);
        // The session is never destroyed (the plug-in may still be busy at exit); its
        // installed library's folder is removed all the same.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(
                std::filesystem::path(fuzzSession().library.domain(0)).parent_path(), ignored);
        });
        return s;
    }();
    return *session;
}
