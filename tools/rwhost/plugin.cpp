#include "plugin.h"

#include <sys/stat.h>

#include <cctype>

#include "commands.h"
#include "lv2host.h"
#include "vstplugin.h"

namespace {

bool endsWith(const std::string& text, const char* end) {
    const std::string tail(end);
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

/// "scheme:..." with a scheme as URIs have them, and no file of that name.
bool looksLikeUri(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    struct stat info;
    return stat(text.c_str(), &info) != 0;
}

} // namespace

std::unique_ptr<CHostedPlugin> makePluginHost(const std::string& where) {
    if (endsWith(where, ".lv2") || endsWith(where, ".lv2/") || looksLikeUri(where))
        return std::make_unique<CLv2Host>();
    return std::make_unique<CVstPlugin>();
}

std::unique_ptr<CHostedPlugin> loadPlugin(const std::string& where) {
    std::unique_ptr<CHostedPlugin> plugin = makePluginHost(where);
    std::string error;
    if (plugin->load(where, error)) return plugin;
    report("cannot load %s: %s", where.c_str(), error.c_str());
    return nullptr;
}
