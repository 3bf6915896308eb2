// What the commands ask of a plug-in, whatever its format: a VST 2.4 shared object loaded
// directly, or an LV2 plug-in found through lilv. One object hosts one plug-in; the format
// shows only in describe() and in the files behind this interface.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sequencer.h"
#include "vst/aeffect.h"

class CHostedPlugin {
public:
    virtual ~CHostedPlugin() = default;

    /// Loads the plug-in and makes an instance of it; false with the reason in error.
    virtual bool load(const std::string& where, std::string& error) = 0;
    /// Format-specific facts for rwhost info, one "name: value" line each.
    virtual void describe(FILE* to) = 0;

    virtual int outputCount() = 0;
    /// The output's name as the plug-in gives it; empty when it gives none.
    virtual std::string outputLabel(int index) = 0;
    /// False with the reason when the plug-in cannot be rendered by this host.
    virtual bool canRender(std::string& why) = 0;

    /// Sample rate and largest block; before start.
    virtual void configure(double rate, int block) = 0;
    /// Whether the blocks come offline (as fast as they go) or in real time, as the plug-in's
    /// format lets a host say; before start.
    virtual void setOffline(bool offline) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    /// The transport of the next block; a plug-in hears it as its format has hosts tell it.
    virtual void setTransport(const VstTimeInfo& info) = 0;
    /// The MIDI events of the next block, ordered by frame offset.
    virtual void sendEvents(const BlockEvent* events, size_t count) = 0;
    /// One block into the outputs (outputCount() buffers of at least frames floats).
    virtual void process(float** outputs, int frames) = 0;
    /// Frames by which the plug-in's output lags its input, as it reports them now.
    virtual int latency() = 0;

    /// True when the plug-in keeps its state as one chunk of bytes.
    virtual bool hasState() = 0;
    virtual bool getState(std::vector<unsigned char>& bytes) = 0;
    virtual bool setState(const std::vector<unsigned char>& bytes) = 0;

    /// A request of rwbridge's own (src/vst/vendorrequests.h) with its value and pointer;
    /// 0 from a plug-in that does not know it.
    virtual VstIntPtr bridgeRequest(VstInt32 index, VstIntPtr value, void* ptr) = 0;

    virtual bool hasEditor() = 0;
    /// The editor's size, when the plug-in tells it before opening it.
    virtual bool editorSize(int& width, int& height) = 0;
    /// Opens the editor as a child of the X11 window; false with the reason in error.
    virtual bool openEditor(unsigned long parent, std::string& error) = 0;
    /// The editor's regular idle time; false once the editor asks to be closed.
    virtual bool idleEditor() = 0;
    virtual void closeEditor() = 0;
};

/// A host for the plug-in at where: an LV2 bundle (a folder ending in .lv2) or an LV2 plug-in
/// URI found on LV2_PATH, else a VST 2.4 shared object.
std::unique_ptr<CHostedPlugin> makePluginHost(const std::string& where);
/// Loads the plug-in; reports and gives null when it cannot.
std::unique_ptr<CHostedPlugin> loadPlugin(const std::string& where);
