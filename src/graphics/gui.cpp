#include "graphics/gui.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "foundation/stream.h"
#include "graphics/bitmap.h"
#include "graphics/image.h"

namespace {
constexpr int itemDataSize = 512;
constexpr size_t lookOffset = offsetof(CGuiItem2, mode);

unsigned char* lookBytes(CGuiItem2* item) {
    return reinterpret_cast<unsigned char*>(item) + lookOffset;
}

void copyLook(CGuiItem2* to, const CGuiItem2* from) {
    memcpy(lookBytes(to), reinterpret_cast<const unsigned char*>(from) + lookOffset,
           offsetof(CGuiItem2, bitmap) - lookOffset);
}

// The data block: the look's 4-byte values little-endian at their offsets from mode; the
// image reference and the rest stay zero (a memory address means nothing in a file).
void writeItemData(CStream* s, CGuiItem2* item) {
    unsigned char block[itemDataSize] = {};
    const unsigned char* look = lookBytes(item);
    for (size_t at = 0; at < guiLookValueBytes; at += 4) {
        uint32_t v;
        memcpy(&v, look + at, 4);
        for (int i = 0; i < 4; i++)
            block[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
    s->write(block, itemDataSize);
}

void readItemData(CStream* s, CGuiItem2* item) {
    unsigned char block[itemDataSize] = {};
    s->read(block, itemDataSize);
    unsigned char* look = lookBytes(item);
    for (size_t at = 0; at < guiLookValueBytes; at += 4) {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v |= static_cast<uint32_t>(block[at + i]) << (8 * i);
        memcpy(look + at, &v, 4);
    }
}

void writeValue(CStream* s, const char* tag, int v) {
    s->writeStr(tag);
    s->writeInt(4);
    s->writeInt(v);
}

void writeFloatValue(CStream* s, const char* tag, float v) {
    s->writeStr(tag);
    s->writeInt(4);
    s->writeFloat(v);
}

void writeNamed(CStream* s, const char* tag, const CStr& name) {
    s->writeStr(tag);
    s->writeInt(4 + asMax(name.length(), 0));
    s->writeStr(name);
}
} // namespace

// ---- table and updates ----

CGui::CGui() {
    init();
}

CGui::~CGui() {
    clearImages();
}

// Items of the table drop their references to the images first, so none is left dangling.
void CGui::clearImages() {
    for (int i = 0; i < itemCount; i++)
        if (images.indexed(items[i]->image) >= 0) items[i]->image = nullptr;
    while (images.getCount() > 0)
        delete static_cast<CImageChunk*>(images.pop());
}

CImageChunk* CGui::getImage(int i) const {
    if (i < 0 || i >= images.getCount()) return nullptr;
    return static_cast<CImageChunk*>(images.items(i));
}

void CGui::addItem(const CStr& name, CGuiItem2& item, int flags, int w, int h) {
    if (itemCount >= maxItems) return;
    // the record is reset; a bitmap it owned from an earlier skin would be lost otherwise
    delete item.bitmap;
    memset(&item, 0, sizeof item);
    if (name.asChar()) strncpy(item.name, name.asChar(), sizeof item.name - 1);
    item.fill = fillSolid;
    item.fillAlign = alignLeft;
    item.effect = 0.5f;
    item.flags = flags;
    item.width = w;
    item.height = h;
    items[itemCount++] = &item;
}

CGuiItem2* CGui::findItem(const CStr& name) const {
    if (!name.asChar()) return nullptr;
    for (int i = 0; i < itemCount; i++)
        if (strcmp(items[i]->name, name.asChar()) == 0) return items[i];
    return nullptr;
}

void CGui::addColor(int col) {
    for (int i = 0; i < paletteCount; i++)
        if (palette[i] == col) return;
    if (paletteCount < paletteSize) palette[paletteCount++] = col;
}

void CGui::updateGuiItem(CGuiItem2* item) {
    if (!item) return;
    if (item->link) {
        copyLook(item, item->link);
        item->link = nullptr;
    }
    setGuiShape(item, item->shape);
    if (item->flags & guiFill) {
        if (item->fill == fillSolid) {
            setGuiFill(item, item->fillCol);
            addColor(item->fillCol);
        } else if (item->fill == fillRamp && item->fillTex == texGradient) {
            setGuiGradient(item, item->fillCol, item->fillCol2, item->fillAlign);
            addColor(item->fillCol);
            addColor(item->fillCol2);
        } else if (item->fill == fillRamp && item->fillTex == texGlossy) {
            setGuiGlossy(item, item->fillCol, item->effect);
            addColor(item->fillCol);
        } else if (item->fill == fillImage) {
            setGuiImage(item, item->image);
        }
    }
    if (item->flags & guiFrame) {
        setGuiFrame(item, item->frame, item->frameCol);
        if (item->frame == 1) addColor(item->frameCol);
    }
    if (item->flags & guiSeparator) setGuiSep(item, item->sep, item->sepCol, 6);
    if (item->flags & guiTextCol) addColor(item->textCol);
    if (item->flags & guiSymbolCol) addColor(item->symbolCol);
}

void CGui::updateAll() {
    for (int i = 0; i < itemCount; i++)
        updateGuiItem(items[i]);
}

void CGui::colorReplace(int oldCol, int newCol) {
    for (int i = 0; i < paletteCount; i++)
        if (palette[i] == oldCol) palette[i] = newCol;
    for (int i = 0; i < itemCount; i++) {
        CGuiItem2* item = items[i];
        for (int* c : {&item->fillCol, &item->fillCol2, &item->textCol, &item->symbolCol})
            if (*c == oldCol) *c = newCol;
    }
    updateAll();
}

// ---- default skin ----

void CGui::init() {
    clearImages();
    itemCount = 0;
    paletteCount = 0;
    const int A = asColor(80, 80, 80), B = asColor(192, 192, 192), D = asColor(40, 40, 40);
    const int base = asColor(64, 64, 64);

    addItem("winbkgnd", clWinBkgnd, 47, 0, 0);
    setGuiFill(&clWinBkgnd, A);
    setGuiText(&clWinBkgnd, clWhite);
    setGuiFrame(&clWinBkgnd, 1, clWhite);
    setGuiShape(&clWinBkgnd, 1);
    const int W = clWinBkgnd.fillCol;

    struct Bare {
        const char* name;
        CGuiItem2* item;
    };
    for (Bare b : {Bare{"winclose", &clWinClose}, Bare{"winclosemouseover", &clWinCloseMouseOver},
                   Bare{"winmin", &clWinMin}, Bare{"winminmouseover", &clWinMinMouseOver},
                   Bare{"winmax", &clWinMax}, Bare{"winmaxmouseover", &clWinMaxMouseOver}}) {
        addItem(b.name, *b.item, 86, 0, 0);
        setGuiFill(b.item, -2);
        setGuiSymbol(b.item, clWhite);
    }

    addItem("caption", clCaption, 55, 0, captionHeight);
    setGuiGlossy(&clCaption, D, 0.25f);
    setGuiText(&clCaption, clWhite);

    addItem("menubar", clMenuBar, 183, 0, menuHeight);
    setGuiFill(&clMenuBar, base);
    addItem("menubarsel", clMenuBarSelected, 39, menuHeight, 0);
    setGuiFill(&clMenuBarSelected, base);

    addItem("menu", clMenu, 103, 0, 0);
    setGuiFill(&clMenu, clBlack);
    setGuiShape(&clMenu, 1);
    setGuiText(&clMenu, clWhite);
    setGuiFrame(&clMenu, 1, D);
    addItem("menusel", clMenuSelected, 103, 0, 0);
    setGuiFill(&clMenuSelected, clBlack);
    setGuiShape(&clMenuSelected, 1);
    setGuiText(&clMenuSelected, clWhite);

    addItem("menutabs", clMenuTabGroup, 151, 0, 0);
    clMenuTabGroup.fill = fillNone;
    setGuiGradient(&clMenuTabGroup, A, D, alignTop);
    setGuiFrame(&clMenuTabGroup, 1, D);
    setGuiShape(&clMenuTabGroup, 1);
    addItem("menutab", clMenuTab, 55, 0, 0);
    clMenuTab.fill = fillNone;
    setGuiFill(&clMenuTab, -2);
    setGuiText(&clMenuTab, clGray);
    addItem("menutabsel", clMenuTabSelected, 55, 0, 0);
    clMenuTabSelected.fill = fillNone;
    setGuiFill(&clMenuTabSelected, -2);
    setGuiText(&clMenuTabSelected, clWhite);

    addItem("ribbon", clRibbon, 119, 0, 0);
    clRibbon.link = &clMenuBar;
    addItem("ribbonbar", clRibbonBar, 247, 0, 0);
    clRibbonBar.link = &clMenuBar;

    addItem("toolbar", clToolbar, 7, 0, toolbarHeight);
    setGuiFill(&clToolbar, W);
    addItem("toolbarcontrols", clToolbarControls, 119, 0, 0);
    setGuiFill(&clToolbarControls, W);
    addItem("toolbarcontrolspushed", clToolbarControlsPushed, 64, 0, 0);
    setGuiFill(&clToolbarControlsPushed, W);
    addItem("panel", clPanel, 15, 0, 0);
    setGuiFill(&clPanel, W);
    setGuiShape(&clPanel, 1);

    addItem("button", clButton, 39, 0, 0);
    setGuiGlossy(&clButton, D, 0.25f);
    setGuiShape(&clButton, 1);
    setGuiText(&clButton, B);

    for (Bare b :
         {Bare{"speedbutton", &clSpeedButton}, Bare{"speedbuttonpushed", &clSpeedButtonPushed}}) {
        addItem(b.name, *b.item, 119, 0, 0);
        setGuiFill(b.item, clBlack);
        setGuiShape(b.item, 1);
    }
    addItem("speedbuttonmouseover", clSpeedButtonMouseOver, 23, 0, 0);
    setGuiFill(&clSpeedButtonMouseOver, clBlack);
    setGuiShape(&clSpeedButtonMouseOver, 1);

    addItem("dropdown", clDropdown, 119, 0, 0);
    setGuiFill(&clDropdown, D);
    setGuiShape(&clDropdown, 1);
    setGuiText(&clDropdown, B);
    addItem("dropdownmenu", clDropdownMenu, 39, 0, 0);
    setGuiFill(&clDropdownMenu, A);
    setGuiShape(&clDropdownMenu, 1);
    setGuiText(&clDropdownMenu, B);
    addItem("dropdownmenuselected", clDropdownMenuSelected, 39, 0, 0);
    setGuiFill(&clDropdownMenuSelected, D);
    setGuiText(&clDropdownMenuSelected, B);

    addItem("listbox", clListbox, 39, 0, 0);
    setGuiShape(&clListbox, 1);
    setGuiFill(&clListbox, clBlack);
    setGuiFrame(&clListbox, 1, clBlack);
    setGuiText(&clListbox, clWhite);
    addItem("listboxsel", clListboxSelected, 39, 0, 0);
    setGuiShape(&clListboxSelected, 1);
    setGuiFill(&clListboxSelected, clBlack);
    setGuiText(&clListboxSelected, clWhite);

    addItem("tabs", clTabs, 55, 0, 0);
    setGuiFill(&clTabs, clBlack);
    setGuiShape(&clTabs, 1);
    addItem("tabssel", clTabsSelected, 39, 0, 0);
    setGuiFill(&clTabsSelected, clBlack);

    addItem("tree", clTree, 102, 0, 0);
    setGuiShape(&clTree, 1);
    setGuiFill(&clTree, W);
    setGuiText(&clTree, clWhite);
    setGuiSymbol(&clTree, clGray);
    addItem("treesel", clTreeSelected, 103, 0, 18);
    setGuiShape(&clTreeSelected, 1);
    setGuiFill(&clTreeSelected, clBlue);
    setGuiText(&clTreeSelected, clWhite);
    setGuiSymbol(&clTreeSelected, clGray);

    addItem("value", clValue, 39, 0, 0);
    setGuiShape(&clValue, 1);
    setGuiFill(&clValue, D);
    setGuiText(&clValue, clWhite);

    struct Sized {
        const char* name;
        CGuiItem2* item;
        int flags, w, h;
    };
    for (Sized s : {Sized{"scrollbarhorz", &clScrollbarHorz, 4, 0, 16},
                    Sized{"scrollbarvert", &clScrollbarVert, 4, 16, 0},
                    Sized{"scrollbarhorzthumb", &clScrollbarHorzThumb, 7, 0, 16},
                    Sized{"scrollbarvertthumb", &clScrollbarVertThumb, 7, 16, 0},
                    Sized{"scrollbarleft", &clScrollbarButtonLeft, 71, 16, 16},
                    Sized{"scrollbarup", &clScrollbarButtonUp, 71, 16, 16},
                    Sized{"scrollbarright", &clScrollbarButtonRight, 71, 16, 16},
                    Sized{"scrollbardown", &clScrollbarButtonDown, 71, 16, 16}}) {
        addItem(s.name, *s.item, s.flags, s.w, s.h);
        setGuiFill(s.item, base);
        setGuiText(s.item, clWhite);
    }
}

// ---- skin file ----

void CGui::writeItem(CMemoryStream* s, CGuiItem2* item) {
    writeNamed(s, "itemid2", item->name);
    if (item->mode != 0) writeValue(s, "itemmode", item->mode);
    if (item->flags & guiShape) writeValue(s, "itemshape", item->shape);
    if (item->flags & guiFrame) {
        writeValue(s, "itemframe", item->frame);
        writeValue(s, "itemframecol", intToRGB(item->frameCol));
    }
    if (item->flags & guiFill) {
        writeValue(s, "itemfill", item->fill);
        writeValue(s, "itemfilltex", item->fillTex);
        writeValue(s, "itemfillcol", intToRGB(item->fillCol));
        writeValue(s, "itemfillcol2", intToRGB(item->fillCol2));
        writeValue(s, "itemfillalign", item->fillAlign);
        writeFloatValue(s, "itemfilleffect", item->effect);
    }
    if (item->fill == fillImage) writeValue(s, "itemfillImg", images.indexed(item->image));
    if (item->flags & guiTextCol) writeValue(s, "itemtextcol", intToRGB(item->textCol));
    if (item->flags & guiSymbolCol) writeValue(s, "itemsymbcol", intToRGB(item->symbolCol));
    if (item->flags & guiSeparator) {
        writeValue(s, "itemsep", item->sep);
        writeValue(s, "itemsepcol", intToRGB(item->sepCol));
    }
    // the older pair, for readers that know only the data block
    writeNamed(s, "itemid", item->name);
    s->writeStr("itemdata");
    s->writeInt(itemDataSize);
    writeItemData(s, item);
}

bool CGui::save(const CStr& path) {
    CMemoryStream s;
    for (int i = 0; i < images.getCount(); i++) {
        CImageChunk* img = getImage(i);
        CStr name = img->getId();
        int n = img->getSize();
        s.writeStr("img");
        s.writeInt(asMax(name.length(), 0) + 20 + n);
        s.writeStr(name);
        s.writeInt(img->getMode());
        s.writeInt(img->getWidth());
        s.writeInt(img->getHeight());
        s.writeInt(n);
        if (n > 0) s.write(img->getChunk(), n);
    }
    for (int i = 0; i < itemCount; i++)
        writeItem(&s, items[i]);
    fileName = path;
    return s.saveToFile(path);
}

void CGui::readRecord(CMemoryStream* s, const CStr& recordTag, int end) {
    if (recordTag == "img") {
        auto* img = new CImageChunk();
        images.add(img);
        img->setId(s->readStr());
        img->setMode(s->readInt());
        img->setWidth(s->readInt());
        img->setHeight(s->readInt());
        int n = asMinMax(s->readInt(), 0, end - s->pos());
        img->getData()->copyFrom(s, n);
        img->getData()->seek(0, 0);
    } else if (recordTag == "itemid" && legacy) {
        current = findItem(s->readStr());
    } else if (recordTag == "itemdata" && legacy) {
        if (current && end - s->pos() >= itemDataSize) {
            readItemData(s, current);
            updateGuiItem(current);
        }
    } else if (recordTag == "itemid2") {
        legacy = false;
        current = findItem(s->readStr());
        if (current) current->link = nullptr;
    } else if (current && end - s->pos() >= 4) {
        CGuiItem2* it = current;
        if (recordTag == "itemmode")
            it->mode = s->readInt();
        else if (recordTag == "itemshape")
            it->shape = s->readInt();
        else if (recordTag == "itemframe")
            it->frame = s->readInt();
        else if (recordTag == "itemfill")
            it->fill = s->readInt();
        else if (recordTag == "itemfilltex")
            it->fillTex = s->readInt();
        else if (recordTag == "itemfillalign")
            it->fillAlign = s->readInt();
        else if (recordTag == "itemsep")
            it->sep = s->readInt();
        else if (recordTag == "itemsymbcol")
            it->symbolCol = RGBToInt(s->readInt());
        else if (recordTag == "itemframecol")
            it->frameCol = RGBToInt(s->readInt());
        else if (recordTag == "itemfillcol")
            it->fillCol = RGBToInt(s->readInt());
        else if (recordTag == "itemfillcol2")
            it->fillCol2 = RGBToInt(s->readInt());
        else if (recordTag == "itemtextcol")
            it->textCol = RGBToInt(s->readInt());
        else if (recordTag == "itemsepcol")
            it->sepCol = RGBToInt(s->readInt());
        else if (recordTag == "itemfilleffect")
            it->effect = s->readFloat();
        else if (recordTag == "itemfillImg")
            it->image = getImage(s->readInt());
    }
}

bool CGui::open(const CStr& path) {
    CMemoryStream s;
    s.loadFromFile(path);
    init();
    current = nullptr;
    legacy = true;
    int size = s.getSize();
    while (s.pos() < size) {
        CStr recordTag = s.readStr();
        int declared = s.readInt();
        // a record never reaches past the file, and every record moves the reader on
        int end = declared < 0 || declared > size - s.pos() ? size : s.pos() + declared;
        readRecord(&s, recordTag, end);
        s.seek(end, 0);
    }
    current = nullptr;
    updateAll();
    fileName = path;
    changed();
    return size > 0;
}

// ---- application skin ----

CAppGui::~CAppGui() {
    delete onInit;
    delete onChange;
}

void CAppGui::init() {
    CGui::init();
    if (onInit) (*onInit)(this);
}

void CAppGui::changed() {
    if (onChange) (*onChange)(this);
}

void CAppGui::setInitListener(COnSkinEvent* listener) {
    delete onInit;
    onInit = listener;
}

void CAppGui::setChangeListener(COnSkinEvent* listener) {
    delete onChange;
    onChange = listener;
}
