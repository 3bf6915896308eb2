// The two symbols a plug-in shared object exports. Compiled into each plug-in, which provides
// createEffectInstance; everything else stays hidden (see exports.map).
#include "vst/vstentry.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

#define RWB_VST_EXPORT extern "C" __attribute__((visibility("default")))

RWB_VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return vstEntryMain(audioMaster, createEffectInstance);
}

// Older hosts look up the plain symbol "main"; a C++ function cannot be called main with this
// signature, so the symbol name is given to the assembler directly.
RWB_VST_EXPORT AEffect* vstLegacyMain(audioMasterCallback audioMaster) __asm__("main");

AEffect* vstLegacyMain(audioMasterCallback audioMaster) {
    return vstEntryLegacy(audioMaster, createEffectInstance);
}
