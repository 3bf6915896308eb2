// rwhost info: what a plug-in tells a host about itself.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "plugin.h"
#include "session.h"

namespace {

/// The ReWire devices of a plug-in that hosts them, with the chosen one.
void printDevices(CHostedPlugin& host) {
    BridgeState state;
    if (!askBridgeState(host, state)) return;
    if (!state.libraryFound) {
        std::printf("ReWire library: not found (searched: %s)\n", state.searched);
        return;
    }
    const std::vector<std::string> names = deviceNames(host, state);
    std::printf("ReWire devices: %zu\n", names.size());
    for (size_t i = 0; i < names.size(); ++i)
        std::printf("  device %zu: %s\n", i, names[i].c_str());
    if (state.device < 0) {
        std::printf("ReWire device:  none chosen\n");
        return;
    }
    std::printf("ReWire device:  %d (chosen)\n", state.device);
    std::printf("  latency:      %d frames\n", host.latency());
    char status[kDeviceStatusBytes] = {};
    if (host.bridgeRequest(kDeviceStatusRequest, 0, status) != 1) return;
    status[sizeof status - 1] = 0;
    std::printf("  state:        %s\n", status[0] ? status : "ready");
}

} // namespace

int runInfo(int argc, char** argv) {
    HostOptions o;
    int exitCode = exitOk;
    if (!readCommandLine(infoCommand, argc, argv, o, exitCode)) return exitCode;
    std::unique_ptr<CHostedPlugin> host = loadPlugin(o.plugin);
    if (!host) return exitFailed;
    if (o.device >= 0 && !chooseDevice(*host, o.device)) return exitFailed;
    std::printf("plug-in:        %s\n", o.plugin.c_str());
    host->describe(stdout);
    std::vector<unsigned char> chunk;
    if (host->hasState() && host->getState(chunk))
        std::printf("state chunk:    %zu bytes\n", chunk.size());
    printDevices(*host);
    return exitOk;
}
