// rwhost: a command-line VST 2.4 host. Its commands are the rows of the table below.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

const Command commands[] = {
    {"info", "print what a plug-in tells a host about itself", runInfo},
    {"render", "play a MIDI file through a plug-in into a WAV file", runRender},
    {"gui", "run a plug-in with its editor in a window and live audio", runGui},
    {"screenshot", "save a picture of a plug-in's editor as a PNG file", runScreenshot},
};

void usage(FILE* to) {
    std::fputs("usage: rwhost COMMAND [arguments]   (rwhost COMMAND --help for details)\n\n"
               "commands:\n",
               to);
    for (const Command& c : commands)
        std::fprintf(to, "  %-11s %s\n", c.name, c.summary);
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

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return exitUsage;
    }
    const char* name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        usage(stdout);
        return exitOk;
    }
    for (const Command& c : commands)
        if (!std::strcmp(name, c.name)) return c.run(argc - 2, argv + 2);
    report("unknown command '%s'", name);
    usage(stderr);
    return exitUsage;
}
