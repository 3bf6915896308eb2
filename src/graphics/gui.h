// The skin: the table of skin items with the built-in default look, the palette of colours in
// use, the image list, and the skin file.
#pragma once

#include "foundation/list.h"
#include "foundation/object.h"
#include "graphics/skin_item.h"

class CImageChunk;
class CMemoryStream;

class CGui : public CObject {
public:
    static constexpr int maxItems = 127;
    static constexpr int paletteSize = 128;

    /// Builds the default skin.
    CGui();
    ~CGui() override;
    CGui(const CGui&) = delete;
    CGui& operator=(const CGui&) = delete;

    /// The default skin; the image list is emptied.
    virtual void init();
    /// Called after a skin file was read.
    virtual void changed() {}

    /// Enters the record, reset to a solid black fill, under name; nothing once the table is full.
    void addItem(const CStr& name, CGuiItem2& item, int flags, int w, int h);
    /// Resolves a pending link, then re-applies and re-renders what the flags expose.
    void updateGuiItem(CGuiItem2* item);
    void updateAll();
    void addColor(int col);
    /// Replaces a colour in the palette and in the fill, text and symbol colours of every item.
    void colorReplace(int oldCol, int newCol);
    /// Reads a skin file over the default skin; false when the file could not be read (the
    /// default skin is kept then).
    bool open(const CStr& path);
    bool save(const CStr& path);

    CGuiItem2* findItem(const CStr& name) const;
    int getItemCount() const { return itemCount; }
    CGuiItem2* getItem(int i) const { return i >= 0 && i < itemCount ? items[i] : nullptr; }
    int getPaletteCount() const { return paletteCount; }
    int getPaletteColor(int i) const { return i >= 0 && i < paletteCount ? palette[i] : 0; }
    /// The image list; it owns its CImageChunk entries.
    CList* getImages() { return &images; }
    CImageChunk* getImage(int i) const;
    void addImage(CImageChunk* img) { images.add(img); }

    CStr fileName;

private:
    void clearImages();
    void writeItem(CMemoryStream* s, CGuiItem2* item);
    void readRecord(CMemoryStream* s, const CStr& recordTag, int end);

    CGuiItem2* items[maxItems + 1] = {};
    int itemCount = 0;
    int palette[paletteSize] = {};
    int paletteCount = 0;
    CList images;
    // reading state of open()
    CGuiItem2* current = nullptr;
    bool legacy = true;
};

/// Listener of the skin's init and change events, called with the skin.
class COnSkinEvent {
public:
    virtual ~COnSkinEvent() = default;
    virtual void operator()(CObject* skin) = 0;
};

template <class T> class _COnSkinEvent : public COnSkinEvent {
public:
    _COnSkinEvent(T* owner, void (T::*handler)(CObject*)) : obj(owner), fn(handler) {}
    void operator()(CObject* skin) override { (obj->*fn)(skin); }

private:
    T* obj;
    void (T::*fn)(CObject*);
};

/// The application's skin.
class CAppGui : public CGui {
public:
    CAppGui() = default;
    ~CAppGui() override;

    void init() override;
    void changed() override;
    /// Takes ownership of the listeners (null removes one).
    void setInitListener(COnSkinEvent* listener);
    void setChangeListener(COnSkinEvent* listener);

private:
    COnSkinEvent* onInit = nullptr;
    COnSkinEvent* onChange = nullptr;
};
