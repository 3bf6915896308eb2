#include "testsynth.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new CTestSynth(audioMaster);
}
