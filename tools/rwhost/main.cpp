// rwhost: a command-line host of VST 2.4 and LV2 plug-ins. Its commands are the rows of the table
// below.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "commands.h"

namespace {

const Command commands[] = {
    {"info", "print what a plug-in tells a host about itself", runInfo},
    {"render", "play a MIDI file through a plug-in into a WAV file", runRender},
    {"gui", "run a plug-in with its editor in a window and live audio", runGui},
    {"screenshot", "save a picture of a plug-in's editor as a PNG file", runScreenshot},
};

void usage(FILE* to) {
    std::fputs("usage: rwhost COMMAND [arguments]   (rwhost COMMAND --help for details)\n"
               "       rwhost --version\n\n"
               "commands:\n",
               to);
    for (const Command& c : commands)
        std::fprintf(to, "  %-11s %s\n", c.name, c.summary);
    std::fputs("\nexit codes: 0 done, 1 failed, 2 bad arguments\n", to);
}

bool isOneOf(const char* arg, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (!std::strcmp(arg, n)) return true;
    return false;
}

} // namespace

void report(const char* format, ...) {
    std::fputs("rwhost: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

bool readCommandLine(const CommandSpec& command, int argc, char** argv, HostOptions& options,
                     int& exitCode) {
    std::string error;
    switch (parseCommandLine(command, argc, argv, options, error)) {
    case Parsed::run:
        return true;
    case Parsed::help:
        printHelp(command, stdout);
        exitCode = exitOk;
        return false;
    case Parsed::usageError:
        report("%s; see rwhost %s --help", error.c_str(), command.name);
        exitCode = exitUsage;
        return false;
    }
    return false;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        report("no command given; see rwhost --help");
        return exitUsage;
    }
    const char* name = argv[1];
    if (isOneOf(name, {"--help", "-h", "help"})) {
        usage(stdout);
        return exitOk;
    }
    if (isOneOf(name, {"--version", "-V"})) {
        std::printf("rwhost %s\n", RWHOST_VERSION);
        return exitOk;
    }
    for (const Command& c : commands)
        if (!std::strcmp(name, c.name)) return c.run(argc - 1, argv + 1);
    report("unknown command '%s'; see rwhost --help", name);
    return exitUsage;
}
