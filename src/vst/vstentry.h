// What the exported entry points do, kept apart from the exports so that it can be tested in a
// program (which has its own main).
#pragma once

#include "vst/audioeffect.h"

using EffectFactory = AudioEffect* (*)(audioMasterCallback audioMaster);

/// Asks the host for its version first; a host that answers 0 gets null and no object.
AEffect* vstEntryMain(audioMasterCallback audioMaster, EffectFactory create);
/// The legacy entry: creates the object without asking the host anything.
AEffect* vstEntryLegacy(audioMasterCallback audioMaster, EffectFactory create);
