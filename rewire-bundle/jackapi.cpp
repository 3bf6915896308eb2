#include "jackapi.h"

#include <dlfcn.h>

namespace {
const char* const kJackLibrary = "libjack.so.0";

// Never unloaded: libjack keeps threads and process-wide state once a client has been opened.
const CJackApi* loadJackApi() {
    void* library = dlopen(kJackLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    static CJackApi api;
    bool complete = true;
#define RWB_JACK_LOOKUP(name)                                                                      \
    api.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                         \
    complete = complete && api.name;
    RWB_JACK_FUNCTIONS(RWB_JACK_LOOKUP)
#undef RWB_JACK_LOOKUP
    return complete ? &api : nullptr;
}
} // namespace

const CJackApi* jackApi() {
    static const CJackApi* api = loadJackApi();
    return api;
}
