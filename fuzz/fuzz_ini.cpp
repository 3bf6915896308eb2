// INI reader: any file content reads without faults, and a value written into it afterwards
// reads back unchanged (lookups and writes use the first section of a name).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "foundation/inifile.h"
#include "foundation/os.h"
#include "foundation/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CStr path = addSep(getTempFolder()) + "rwb-fuzz-ini-" + asStr(int(getpid()));
    CMemoryStream content;
    content.write(data, int(size));
    if (!content.saveToFile(path)) return 0;

    CIniFile ini(path);
    CStringList lines;
    ini.readSection("Library", &lines);
    ini.readSection("", &lines);
    ini.readString("Device0", "Name", "none");
    ini.readInteger("Library", "Devices", 0);
    ini.writeString("Fuzz", "Key", "Value");
    if (ini.readString("Fuzz", "Key", "") != "Value") abort();
    ini.writeInteger("Device0", "Channels", -17);
    if (ini.readInteger("Device0", "Channels", 0) != -17) abort();
    // A file may hold a section twice; erasing removes the first, which lookups use, so a
    // second one may show through afterwards.
    ini.eraseSection("Fuzz");
    CFileManager::deleteFile(path);
    return 0;
}
