#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "foundation/os.h"
#include "foundation/stringlist.h"
#include "rewire/bundle.h"

namespace {
// The local domain first, then the network domain.
const char* const kDefaultSupportFolders[] = {"/usr/local/lib", "/usr/lib"};
const char* const kSupportPathVariable = "REWIRE_SUPPORT_PATH";
const int kMaxNameLength = 255;

// The colon-separated folders of the support path variable, or the default domains.
void readSupportFolders(CStringList* folders) {
    const char* variable = getenv(kSupportPathVariable);
    if (!variable) {
        for (const char* folder : kDefaultSupportFolders)
            folders->add(folder);
        return;
    }
    CStr rest(variable);
    while (rest.length() > 0) {
        int colon = rest.pos(":");
        CStr folder = colon < 0 ? rest : rest.sub(0, colon);
        rest = colon < 0 ? CStr() : rest.sub(colon + 1, -1);
        if (folder.length() > 0) folders->add(folder);
    }
}

bool isDirectory(const CStr& path) {
    struct stat info {};
    return stat(path.asChar(), &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

int getSupportDomainCount() {
    CStringList folders;
    readSupportFolders(&folders);
    return folders.count();
}

bool getSupportFolder(int domain, CStr* folder) {
    CStringList folders;
    readSupportFolders(&folders);
    if (domain < 0 || domain >= folders.count()) return false;
    CStr path = folders.getStr(domain);
    if (!isDirectory(path)) return false;
    *folder = path;
    return true;
}

CStr getSupportFolderPath(int domain) {
    CStringList folders;
    readSupportFolders(&folders);
    return domain >= 0 && domain < folders.count() ? folders.getStr(domain) : CStr();
}

bool getNamedTargetInFolder(const CStr& folder, const char* name, CStr* target) {
    CStr entry(name);
    if (entry.length() <= 0 || entry.length() > kMaxNameLength || entry.pos("/") >= 0) return false;
    // realpath follows every link on the way, so a chain of links ends at the real entry and a
    // dangling link fails.
    char resolved[PATH_MAX];
    if (!realpath((addSep(folder) + entry).asChar(), resolved)) return false;
    *target = resolved;
    return true;
}
