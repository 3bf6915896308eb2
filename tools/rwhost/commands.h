// The commands of rwhost. Each takes its arguments with its own name first and answers the
// process's exit code: 0 done, 1 failed, 2 bad arguments.
#pragma once

#include "options.h"

constexpr int exitOk = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
};

int runInfo(int argc, char** argv);
int runRender(int argc, char** argv);
int runGui(int argc, char** argv);
int runScreenshot(int argc, char** argv);

/// Prints "rwhost: " and the message to stderr.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// The start of every command: false when the command ends here with exitCode, after --help
/// (0) or a usage error (2), which is told in one line that points to the command's help.
bool readCommandLine(const CommandSpec& command, int argc, char** argv, HostOptions& options,
                     int& exitCode);
