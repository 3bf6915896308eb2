// Editor object that a plug-in may attach to its AudioEffect; the frame forwards the editor
// requests to it and owns it from then on.
#pragma once

#include "vst/aeffect.h"

class AudioEffect;

/// A key as the host reports it with the editor key requests.
struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* owner = nullptr) : effect(owner) {}
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;
    virtual ~AEffEditor() = default;

    /// Stores the address of the editor rectangle through rect.
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    /// ptr is the host's parent window.
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode&) { return false; }
    virtual bool onKeyUp(VstKeyCode&) { return false; }
    virtual bool setKnobMode(VstInt32) { return false; }

    AudioEffect* getEffect() const { return effect; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
