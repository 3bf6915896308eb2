// Chunk reader: any bytes handed to the set-chunk request are applied as far as they make
// sense, the state they leave saves and reloads to the same chunk, and the plug-in still plays.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pluginsession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stress::Plugin& plugin = fuzzSession().plugin;
    plugin.setChunk(std::vector<unsigned char>(data, data + size));
    std::vector<unsigned char> saved = plugin.chunk();
    plugin.setChunk(saved);
    if (plugin.chunk() != saved) abort();

    static stress::Outputs out;
    static stress::EventList notes(stress::noteRun(4, 64));
    plugin.process(out, 64, notes.get());
    if (out.peak(64) < 0) abort();
    return 0;
}
