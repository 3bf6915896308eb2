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

namespace {
/// How the default skin fills an item.
enum class DefaultFill { solid, none, glossy, gradient };

/// One item of the default skin. Everything not named keeps addItem's value.
struct DefaultItem {
    const char* name;
    CGuiItem2* item;
    int flags;
    int width, height;
    DefaultFill fill;
    int fillCol, fillCol2; ///< fillCol2: the gradient's end
    int shape;
    int frameCol; ///< noFrame: no outline
    int textCol, symbolCol;
    CGuiItem2* link; ///< the item whose look this one takes at its first update
};

constexpr int noFrame = -1;
constexpr float glossEffect = 0.25f;

// Short names for the flag bits of the table below; sfR8 and sfR16 are the reserved bits.
constexpr int sfShape = guiShape, sfFrame = guiFrame, sfFill = guiFill, sfR8 = guiReserved8,
              sfR16 = guiReserved16, sfText = guiTextCol, sfSym = guiSymbolCol,
              sfSep = guiSeparator;
constexpr int sfLook = sfShape | sfFrame | sfFill; // shape, frame and fill

/// The built-in look, entered in this order. Read at the first init(), when the theme colours
/// and layout sizes are set; the window background's colour is `light`.
const DefaultItem* defaultSkin(int& count) {
    using F = DefaultFill;
    const int light = asColor(80, 80, 80), pale = asColor(192, 192, 192);
    const int dark = asColor(40, 40, 40), base = asColor(64, 64, 64);
    const int white = clWhite, black = clBlack, gray = clGray, blue = clBlue;
    // clang-format off
    static const DefaultItem items[] = {
        // name                   item                      flags                                  w   h              fill        colours      shape frame    text   symbol link
        {"winbkgnd",              &clWinBkgnd,              sfLook | sfR8 | sfText,                0,  0,             F::solid,   light, 0,    1,    white,   white, 0,     nullptr},
        {"winclose",              &clWinClose,              sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"winclosemouseover",     &clWinCloseMouseOver,     sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"winmin",                &clWinMin,                sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"winminmouseover",       &clWinMinMouseOver,       sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"winmax",                &clWinMax,                sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"winmaxmouseover",       &clWinMaxMouseOver,       sfFrame | sfFill | sfR16 | sfSym,      0,  0,             F::none,    0, 0,        0,    noFrame, 0,     white, nullptr},
        {"caption",               &clCaption,               sfLook | sfR16 | sfText,               0,  captionHeight, F::glossy,  dark, 0,     0,    noFrame, white, 0,     nullptr},
        {"menubar",               &clMenuBar,               sfLook | sfR16 | sfText | sfSep,       0,  menuHeight,    F::solid,   base, 0,     0,    noFrame, 0,     0,     nullptr},
        {"menubarsel",            &clMenuBarSelected,       sfLook | sfText,                       menuHeight, 0,     F::solid,   base, 0,     0,    noFrame, 0,     0,     nullptr},
        {"menu",                  &clMenu,                  sfLook | sfText | sfSym,               0,  0,             F::solid,   black, 0,    1,    dark,    white, 0,     nullptr},
        {"menusel",               &clMenuSelected,          sfLook | sfText | sfSym,               0,  0,             F::solid,   black, 0,    1,    noFrame, white, 0,     nullptr},
        {"menutabs",              &clMenuTabGroup,          sfLook | sfR16 | sfSep,                0,  0,             F::gradient, light, dark, 1,    dark,    0,     0,     nullptr},
        {"menutab",               &clMenuTab,               sfLook | sfR16 | sfText,               0,  0,             F::none,    0, 0,        0,    noFrame, gray,  0,     nullptr},
        {"menutabsel",            &clMenuTabSelected,       sfLook | sfR16 | sfText,               0,  0,             F::none,    0, 0,        0,    noFrame, white, 0,     nullptr},
        {"ribbon",                &clRibbon,                sfLook | sfR16 | sfText | sfSym,       0,  0,             F::solid,   black, 0,    0,    noFrame, 0,     0,     &clMenuBar},
        {"ribbonbar",             &clRibbonBar,             sfLook | sfR16 | sfText | sfSym | sfSep, 0, 0,            F::solid,   black, 0,    0,    noFrame, 0,     0,     &clMenuBar},
        {"toolbar",               &clToolbar,               sfLook,                                0,  toolbarHeight, F::solid,   light, 0,    0,    noFrame, 0,     0,     nullptr},
        {"toolbarcontrols",       &clToolbarControls,       sfLook | sfR16 | sfText | sfSym,       0,  0,             F::solid,   light, 0,    0,    noFrame, 0,     0,     nullptr},
        {"toolbarcontrolspushed", &clToolbarControlsPushed, sfSym,                                 0,  0,             F::solid,   light, 0,    0,    noFrame, 0,     0,     nullptr},
        {"panel",                 &clPanel,                 sfLook | sfR8,                         0,  0,             F::solid,   light, 0,    1,    noFrame, 0,     0,     nullptr},
        {"button",                &clButton,                sfLook | sfText,                       0,  0,             F::glossy,  dark, 0,     1,    noFrame, pale,  0,     nullptr},
        {"speedbutton",           &clSpeedButton,           sfLook | sfR16 | sfText | sfSym,       0,  0,             F::solid,   black, 0,    1,    noFrame, 0,     0,     nullptr},
        {"speedbuttonpushed",     &clSpeedButtonPushed,     sfLook | sfR16 | sfText | sfSym,       0,  0,             F::solid,   black, 0,    1,    noFrame, 0,     0,     nullptr},
        {"speedbuttonmouseover",  &clSpeedButtonMouseOver,  sfLook | sfR16,                        0,  0,             F::solid,   black, 0,    1,    noFrame, 0,     0,     nullptr},
        {"dropdown",              &clDropdown,              sfLook | sfR16 | sfText | sfSym,       0,  0,             F::solid,   dark, 0,     1,    noFrame, pale,  0,     nullptr},
        {"dropdownmenu",          &clDropdownMenu,          sfLook | sfText,                       0,  0,             F::solid,   light, 0,    1,    noFrame, pale,  0,     nullptr},
        {"dropdownmenuselected",  &clDropdownMenuSelected,  sfLook | sfText,                       0,  0,             F::solid,   dark, 0,     0,    noFrame, pale,  0,     nullptr},
        {"listbox",               &clListbox,               sfLook | sfText,                       0,  0,             F::solid,   black, 0,    1,    black,   white, 0,     nullptr},
        {"listboxsel",            &clListboxSelected,       sfLook | sfText,                       0,  0,             F::solid,   black, 0,    1,    noFrame, white, 0,     nullptr},
        {"tabs",                  &clTabs,                  sfLook | sfR16 | sfText,               0,  0,             F::solid,   black, 0,    1,    noFrame, 0,     0,     nullptr},
        {"tabssel",               &clTabsSelected,          sfLook | sfText,                       0,  0,             F::solid,   black, 0,    0,    noFrame, 0,     0,     nullptr},
        {"tree",                  &clTree,                  sfFrame | sfFill | sfText | sfSym,     0,  0,             F::solid,   light, 0,    1,    noFrame, white, gray,  nullptr},
        {"treesel",               &clTreeSelected,          sfLook | sfText | sfSym,               0,  18,            F::solid,   blue, 0,     1,    noFrame, white, gray,  nullptr},
        {"value",                 &clValue,                 sfLook | sfText,                       0,  0,             F::solid,   dark, 0,     1,    noFrame, white, 0,     nullptr},
        {"scrollbarhorz",         &clScrollbarHorz,         sfFill,                                0,  16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarvert",         &clScrollbarVert,         sfFill,                                16, 0,             F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarhorzthumb",    &clScrollbarHorzThumb,    sfLook,                                0,  16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarvertthumb",    &clScrollbarVertThumb,    sfLook,                                16, 0,             F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarleft",         &clScrollbarButtonLeft,   sfLook | sfSym,                        16, 16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarup",           &clScrollbarButtonUp,     sfLook | sfSym,                        16, 16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbarright",        &clScrollbarButtonRight,  sfLook | sfSym,                        16, 16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
        {"scrollbardown",         &clScrollbarButtonDown,   sfLook | sfSym,                        16, 16,            F::solid,   base, 0,     0,    noFrame, white, 0,     nullptr},
    };
    // clang-format on
    count = static_cast<int>(sizeof items / sizeof items[0]);
    return items;
}

void applyDefault(const DefaultItem& d) {
    CGuiItem2* item = d.item;
    switch (d.fill) {
    case DefaultFill::solid:
        setGuiFill(item, d.fillCol);
        break;
    case DefaultFill::none:
        setGuiFill(item, -2);
        break;
    case DefaultFill::glossy:
        setGuiGlossy(item, d.fillCol, glossEffect);
        break;
    case DefaultFill::gradient:
        setGuiGradient(item, d.fillCol, d.fillCol2, alignTop);
        break;
    }
    setGuiShape(item, d.shape);
    if (d.frameCol != noFrame) setGuiFrame(item, 1, d.frameCol);
    setGuiText(item, d.textCol);
    setGuiSymbol(item, d.symbolCol);
    item->link = d.link;
}
} // namespace

void CGui::init() {
    clearImages();
    itemCount = 0;
    paletteCount = 0;
    int count = 0;
    const DefaultItem* skin = defaultSkin(count);
    for (int i = 0; i < count; i++) {
        const DefaultItem& d = skin[i];
        addItem(d.name, *d.item, d.flags, d.width, d.height);
        applyDefault(d);
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
