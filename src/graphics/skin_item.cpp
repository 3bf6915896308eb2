#include "graphics/skin_item.h"

#include "graphics/bitmap.h"
#include "graphics/draw.h"
#include "graphics/image.h"

#include <initializer_list>

// The data block of a skin file is the look at these offsets from mode.
static_assert(offsetof(CGuiItem2, fill) - offsetof(CGuiItem2, mode) == 28, "look layout");
static_assert(offsetof(CGuiItem2, effect) - offsetof(CGuiItem2, mode) == 56, "look layout");
static_assert(offsetof(CGuiItem2, textCol) - offsetof(CGuiItem2, mode) == 68, "look layout");
static_assert(offsetof(CGuiItem2, symbolCol) - offsetof(CGuiItem2, mode) == 84, "look layout");
static_assert(offsetof(CGuiItem2, sep) - offsetof(CGuiItem2, mode) == 140, "look layout");
static_assert(guiLookValueBytes == 152, "look layout");

CGuiItem2 clCaption, clToolbar, clToolbarControls, clToolbarControlsPushed, clTree, clTreeSelected,
    clWinBkgnd, clWinClose, clWinCloseMouseOver, clWinMin, clWinMinMouseOver, clWinMax,
    clWinMaxMouseOver, clWinSysButtons, clWinSysButtonsMouseOver, clMenuBar, clMenuBarSelected,
    clValue, clPanel, clButton, clTabs, clTabsSelected, clListbox, clListboxSelected, clDropdown,
    clDropdownMenu, clDropdownMenuSelected, clMenu, clMenuSelected, clMenuTabGroup, clMenuTab,
    clMenuTabSelected, clScrollbarHorz, clScrollbarVert, clScrollbarHorzThumb, clScrollbarVertThumb,
    clScrollbarButtonLeft, clScrollbarButtonUp, clScrollbarButtonRight, clScrollbarButtonDown,
    clSpeedButton, clSpeedButtonPushed, clSpeedButtonMouseOver, clRibbon, clRibbonBar;

namespace {
// The items live as long as the module that holds them. Their pre-rendered fills are released
// when it is unloaded, so a host that loads and unloads the plug-in again and again loses
// nothing.
struct CReleaseItemBitmaps {
    ~CReleaseItemBitmaps() {
        for (CGuiItem2* item :
             {&clCaption, &clToolbar, &clToolbarControls, &clToolbarControlsPushed, &clTree,
              &clTreeSelected, &clWinBkgnd, &clWinClose, &clWinCloseMouseOver, &clWinMin,
              &clWinMinMouseOver, &clWinMax, &clWinMaxMouseOver, &clWinSysButtons,
              &clWinSysButtonsMouseOver, &clMenuBar, &clMenuBarSelected, &clValue, &clPanel,
              &clButton, &clTabs, &clTabsSelected, &clListbox, &clListboxSelected, &clDropdown,
              &clDropdownMenu, &clDropdownMenuSelected, &clMenu, &clMenuSelected,
              &clMenuTabGroup, &clMenuTab, &clMenuTabSelected, &clScrollbarHorz,
              &clScrollbarVert, &clScrollbarHorzThumb, &clScrollbarVertThumb,
              &clScrollbarButtonLeft, &clScrollbarButtonUp, &clScrollbarButtonRight,
              &clScrollbarButtonDown, &clSpeedButton, &clSpeedButtonPushed,
              &clSpeedButtonMouseOver, &clRibbon, &clRibbonBar}) {
            delete item->bitmap;
            item->bitmap = nullptr;
        }
    }
} releaseItemBitmaps;
} // namespace

int clBase = asColor(64, 64, 64);
int clLighter = asColor(80, 80, 80);
int clDarker = asColor(48, 48, 48);
int clWinTextHigh = asColor(255, 255, 255);
int clWinTextLow = asColor(128, 128, 128);
int clBevel = asColor(40, 40, 40);

int captionHeight = 20;
int toolbarHeight = 22;
int menuHeight = 20;
int buttonHeight = 24;

namespace {
int bitmapSide(int v) {
    return v < 1 ? 256 : asMin(v, maxSkinBitmapSide);
}

CBitmap* itemBitmap(CGuiItem2* item) {
    if (!item->bitmap)
        item->bitmap =
            new CBitmap(0, bitmapSide(item->width), bitmapSide(item->height), screenDepth());
    return item->bitmap;
}

CRect wholeBitmap(CBitmap* b) {
    return asRect(0, 0, b->width, b->height);
}

void outline(CGraphic* g, int shape, int col, CRect r) {
    if (shape == 0)
        g->frameRect(col, r);
    else if (shape == 1)
        roundFrame(g, col, r);
}

// A rounded gradient draws its two end rows or columns as lines and stretches the bitmap
// over what lies between them.
CRect roundedGradientEnds(CGraphic* g, CGuiItem2* item, CRect r) {
    int first = item->fillCol, last = item->fillCol2;
    switch (item->fillAlign) {
    case gradientMirrorX:
        last = first;
        [[fallthrough]];
    case alignLeft:
        g->setLineCol(first);
        g->drawLine(r.left, r.top + 1, r.left, r.bottom - 1);
        g->setLineCol(last);
        g->drawLine(r.right - 1, r.top + 1, r.right - 1, r.bottom - 1);
        return sizeRect(r, 1, 0, -1, 0);
    case gradientMirrorY:
        last = first;
        [[fallthrough]];
    case alignTop:
        g->setLineCol(first);
        g->drawLine(r.left + 1, r.top, r.right - 1, r.top);
        g->setLineCol(last);
        g->drawLine(r.left + 1, r.bottom - 1, r.right - 1, r.bottom - 1);
        return sizeRect(r, 0, 1, 0, -1);
    default:
        return r;
    }
}

void drawItemFill(CGraphic* g, CRect r, CGuiItem2* item, int options) {
    switch (item->fill) {
    case fillSolid:
        if (item->shape == 1)
            roundRect(g, item->fillCol, r);
        else
            g->fillRect(item->fillCol, r);
        break;
    case fillRamp:
        if (item->fillTex == texGradient) {
            CRect target = item->shape == 1 ? roundedGradientEnds(g, item, r) : r;
            if (item->bitmap) g->stretchDraw(item->bitmap, target, wholeBitmap(item->bitmap));
        } else if (item->fillTex == texGlossy) {
            CRect inner = sizeRect(r, 1, 0, -1, 0);
            if (item->height > 0 && item->height == r.bottom - r.top)
                g->drawTiled(item->bitmap, inner);
            else
                drawGlossy(g, inner, item->fillCol, item->effect, 0);
            outline(g, item->shape, item->fillCol, r);
        }
        break;
    case fillImage:
        if (item->bitmap) {
            bool narrowed = item->frame == 1 && !(options & drawNoFrame) && item->shape == 1;
            g->drawTiled(item->bitmap, narrowed ? sizeRect(r, 1, 0, -1, 0) : r);
        }
        break;
    default:
        break;
    }
}
} // namespace

void setGuiFill(CGuiItem2* item, int col) {
    if (col == -2) {
        item->fill = fillNone;
    } else {
        item->fill = fillSolid;
        item->fillCol = col;
    }
    item->link = nullptr;
}

void setGuiFrame(CGuiItem2* item, int frame, int col) {
    item->frame = frame;
    item->frameCol = col;
}

void setGuiShape(CGuiItem2* item, int shape) {
    item->shape = shape;
}

void setGuiText(CGuiItem2* item, int col) {
    item->textCol = col;
    item->link = nullptr;
}

void setGuiSymbol(CGuiItem2* item, int col) {
    item->symbolCol = col;
}

void setGuiSep(CGuiItem2* item, int sep, int col, int inset) {
    item->sep = sep;
    item->sepCol = col;
    item->sepInset = inset;
}

void setGuiGradient(CGuiItem2* item, int c1, int c2, int mode) {
    item->fillCol = c1;
    item->fillCol2 = c2;
    item->fill = fillRamp;
    item->fillTex = texGradient;
    item->fillAlign = mode;
    CBitmap* b = itemBitmap(item);
    drawGradient(b->graphic, wholeBitmap(b), c1, c2, mode);
    item->link = nullptr;
}

void setGuiGlossy(CGuiItem2* item, int col, float effect) {
    item->fillCol = col;
    item->effect = effect;
    item->fill = fillRamp;
    item->fillTex = texGlossy;
    CBitmap* b = itemBitmap(item);
    drawGlossy(b->graphic, wholeBitmap(b), col, effect, 0);
    item->link = nullptr;
}

void setGuiImage(CGuiItem2* item, CImageChunk* img) {
    item->fill = fillImage;
    item->image = img;
    delete item->bitmap;
    item->bitmap = nullptr;
    if (img) {
        int w = item->width > 0 ? item->width : img->getWidth();
        int h = item->height > 0 ? item->height : img->getHeight();
        item->bitmap =
            new CBitmap(0, asMin(w, maxSkinBitmapSide), asMin(h, maxSkinBitmapSide), screenDepth());
        CGraphic* g = item->bitmap->graphic;
        g->fillRect(clWinBkgnd.fillCol, asRect(0, 0, img->getWidth(), img->getHeight()));
        img->draw(g, asRect(0, 0, img->getWidth(), img->getHeight()));
    }
    item->link = nullptr;
}

int RGBToInt(int col) {
    return col & 0xFFFFFF;
}
int intToRGB(int col) {
    return col & 0xFFFFFF;
}

void drawGuiItem(CGraphic* g, CRect r, CGuiItem2* item, int options) {
    if (!item) return;
    if (!(options & drawNoFill)) drawItemFill(g, r, item, options);
    if (item->frame == 1 && !(options & drawNoFrame)) outline(g, item->shape, item->frameCol, r);
}
