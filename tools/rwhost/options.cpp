#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const renderUsage =
    "usage: rwhost render PLUGIN --out FILE.wav [options]\n"
    "\n"
    "Plays a MIDI file through a VST 2.4 instrument with a running transport and writes every\n"
    "output of the plug-in to one multichannel WAV file (32-bit float).\n"
    "\n"
    "  --midi FILE.mid    Standard MIDI File (format 0 or 1) to play\n"
    "  --out FILE.wav     the WAV file to write (required)\n"
    "  --seconds S        length of the render (default: the song plus one second, or 4 s)\n"
    "  --rate R           sample rate in Hz, 8000 to 384000 (default 44100)\n"
    "  --block N          frames per processing call, 1 to 8192 (default 512)\n"
    "  --tempo BPM        fixed tempo, 1 to 999 (default: the file's tempo map, else 120)\n"
    "  --loop A:B         loop the transport between quarter notes A and B\n"
    "  --stopped          report a stopped transport; the MIDI file is still played, as\n"
    "                     live input\n"
    "  --chunk-in F       load the plug-in's state from chunk file F before playing\n"
    "  --chunk-out F      save the plug-in's state to chunk file F afterwards\n"
    "  --device N         choose ReWire device N (counted from 0) in a plug-in that hosts\n"
    "                     ReWire devices\n"
    "  --help             show this text\n";

bool parseNumber(const char* text, double low, double high, double& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno != 0 || *end != 0 || !std::isfinite(v) || v < low || v > high) return false;
    out = v;
    return true;
}

bool parseInt(const char* text, int low, int high, int& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != 0 || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

bool parseLoop(const char* text, double& start, double& end) {
    const char* colon = text ? std::strchr(text, ':') : nullptr;
    if (!colon) return false;
    const std::string first(text, colon);
    double a, b;
    if (!parseNumber(first.c_str(), 0.0, 1e6, a) || !parseNumber(colon + 1, 0.0, 1e6, b))
        return false;
    if (b - a < 1.0 / 64.0) return false; // shorter loops cannot be played
    start = a;
    end = b;
    return true;
}

namespace {

bool invalid(std::string& error, const std::string& option, const char* value, const char* what) {
    error = "invalid value for " + option + ": '" + (value ? value : "") + "' (" + what + ")";
    return false;
}

} // namespace

bool parseRenderOptions(int argc, char** argv, RenderOptions& o, std::string& error) {
    o = RenderOptions();
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        if (arg == "--stopped") {
            o.stopped = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!o.plugin.empty()) {
                error = "unexpected argument '" + arg + "'";
                return false;
            }
            o.plugin = arg;
            continue;
        }
        static const char* const withValue[] = {"--midi",      "--out",   "--seconds", "--rate",
                                                "--block",     "--tempo", "--loop",    "--chunk-in",
                                                "--chunk-out", "--device"};
        bool known = false;
        for (const char* name : withValue)
            known = known || arg == name;
        if (!known) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--midi") {
            o.midi = value;
        } else if (arg == "--out") {
            o.out = value;
        } else if (arg == "--chunk-in") {
            o.chunkIn = value;
        } else if (arg == "--chunk-out") {
            o.chunkOut = value;
        } else if (arg == "--seconds") {
            if (!parseNumber(value, 0.001, 3600.0, o.seconds))
                return invalid(error, arg, value, "0.001 to 3600 seconds");
        } else if (arg == "--rate") {
            if (!parseNumber(value, 8000.0, 384000.0, o.rate))
                return invalid(error, arg, value, "8000 to 384000 Hz");
        } else if (arg == "--block") {
            if (!parseInt(value, 1, 8192, o.block))
                return invalid(error, arg, value, "1 to 8192 frames");
        } else if (arg == "--tempo") {
            if (!parseNumber(value, 1.0, 999.0, o.tempo))
                return invalid(error, arg, value, "1 to 999 beats per minute");
        } else if (arg == "--loop") {
            if (!parseLoop(value, o.loopStart, o.loopEnd))
                return invalid(error, arg, value, "A:B in quarter notes with A < B");
            o.loop = true;
        } else if (arg == "--device") {
            if (!parseInt(value, 0, 1023, o.device))
                return invalid(error, arg, value, "a device number from 0");
        }
    }
    if (o.plugin.empty()) {
        error = "no plug-in given";
        return false;
    }
    if (o.out.empty()) {
        error = "--out FILE.wav is required";
        return false;
    }
    return true;
}
