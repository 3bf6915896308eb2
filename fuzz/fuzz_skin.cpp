// Skin file reader: any file either loads over the default skin or is refused, with the item
// table and the palette within their limits either way.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "foundation/os.h"
#include "foundation/stream.h"
#include "graphics/gui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CStr path = addSep(getTempFolder()) + "rwb-fuzz-skin-" + asStr(int(getpid()));
    CMemoryStream content;
    content.write(data, int(size));
    if (!content.saveToFile(path)) return 0;

    CGui gui;
    int items = gui.getItemCount();
    gui.open(path);
    if (gui.getItemCount() != items) abort();
    if (gui.getPaletteCount() < 0 || gui.getPaletteCount() > CGui::paletteSize) abort();
    gui.updateAll();
    gui.init();
    CFileManager::deleteFile(path);
    return 0;
}
