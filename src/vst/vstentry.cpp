#include "vst/vstentry.h"

#include <new>

namespace {

/// No exception may leave an entry point: a failed creation is a null descriptor.
AEffect* createDescriptor(audioMasterCallback audioMaster, EffectFactory create) {
    if (!create) return nullptr;
    try {
        AudioEffect* effect = create(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace

AEffect* vstEntryMain(audioMasterCallback audioMaster, EffectFactory create) {
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, hostOpVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    return createDescriptor(audioMaster, create);
}

AEffect* vstEntryLegacy(audioMasterCallback audioMaster, EffectFactory create) {
    return createDescriptor(audioMaster, create);
}
