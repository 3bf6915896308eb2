// Skin items: the look of every framed or filled element of the user interface, one global
// record per kind of element, drawn with drawGuiItem.
#pragma once

#include <cstddef>

#include "graphics/graphic.h"

class CBitmap;
class CImageChunk;

/// Parts of an item a skin may change (the flags word).
enum {
    guiShape = 1,
    guiFrame = 2,
    guiFill = 4,
    /// Carried in the flags word and through skin files, read by nothing: kept so that skins
    /// written by other tools keep their flags.
    guiReserved8 = 8,
    guiReserved16 = 16,
    guiTextCol = 32,
    guiSymbolCol = 64,
    guiSeparator = 128,
};

/// Fill kinds: none, solid, gradient or glossy (by fillTex), image.
enum { fillNone = 0, fillSolid = 1, fillRamp = 2, fillImage = 3 };
/// Textures of a ramp fill.
enum { texGlossy = 0, texGradient = 1 };

/// drawGuiItem options: leave out the frame, leave out the fill.
enum { drawNoFrame = 2, drawNoFill = 4 };

/// One skin item. A plain record: zero-filled when it enters the skin table.
struct CGuiItem2 {
    /// Key in skin files; wide enough for every built-in name.
    char name[32];
    int flags;
    int unusedA;
    // The look, from mode up to the bitmap: what a link copies and what the 512-byte data
    // block of a skin file holds, at the same offsets from mode.
    int mode;
    /// Size of the pre-rendered fill; below 1 means 256. A positive height also marks the
    /// height a pre-rendered glossy fill fits.
    int width;
    int height;
    /// 0 rectangle, 1 rounded.
    int shape;
    /// 1 draws a one-pixel outline.
    int frame;
    int frameCol;
    int unusedB;
    int fill;
    int fillTex;
    int fillCol;
    int fillCol2;
    /// drawGradient mode of a gradient fill.
    int fillAlign;
    int unusedC[2];
    /// Glossy amount.
    float effect;
    int unusedD[2];
    int textCol;
    int unusedE[3];
    int symbolCol;
    int unusedF[13];
    int sep;
    int sepCol;
    int sepInset;
    /// Entry of the skin's image list, not owned.
    CImageChunk* image;
    /// Pre-rendered fill, owned; made on first need.
    CBitmap* bitmap;
    /// When set, the next update copies that item's look into this one.
    CGuiItem2* link;
};

/// Bytes of the look as a skin file's data block holds them (the image reference excluded).
constexpr std::size_t guiLookValueBytes = offsetof(CGuiItem2, image) - offsetof(CGuiItem2, mode);

extern CGuiItem2 clCaption, clToolbar, clToolbarControls, clToolbarControlsPushed, clTree,
    clTreeSelected, clWinBkgnd, clWinClose, clWinCloseMouseOver, clWinMin, clWinMinMouseOver,
    clWinMax, clWinMaxMouseOver, clWinSysButtons, clWinSysButtonsMouseOver, clMenuBar,
    clMenuBarSelected, clValue, clPanel, clButton, clTabs, clTabsSelected, clListbox,
    clListboxSelected, clDropdown, clDropdownMenu, clDropdownMenuSelected, clMenu, clMenuSelected,
    clMenuTabGroup, clMenuTab, clMenuTabSelected, clScrollbarHorz, clScrollbarVert,
    clScrollbarHorzThumb, clScrollbarVertThumb, clScrollbarButtonLeft, clScrollbarButtonUp,
    clScrollbarButtonRight, clScrollbarButtonDown, clSpeedButton, clSpeedButtonPushed,
    clSpeedButtonMouseOver, clRibbon, clRibbonBar;

extern int clBase, clLighter, clDarker, clWinTextHigh, clWinTextLow, clBevel;
extern int captionHeight, toolbarHeight, menuHeight, buttonHeight;

/// Largest side of an item's pre-rendered fill; larger sizes from a skin file are cut to it.
constexpr int maxSkinBitmapSide = 4096;

/// col -2 removes the fill; any other colour makes it solid.
void setGuiFill(CGuiItem2* item, int col);
void setGuiFrame(CGuiItem2* item, int frame, int col);
void setGuiShape(CGuiItem2* item, int shape);
void setGuiText(CGuiItem2* item, int col);
void setGuiSymbol(CGuiItem2* item, int col);
void setGuiSep(CGuiItem2* item, int sep, int col, int inset);
/// Gradient fill, pre-rendered into the item's bitmap.
void setGuiGradient(CGuiItem2* item, int c1, int c2, int mode);
/// Glossy fill, pre-rendered into the item's bitmap.
void setGuiGlossy(CGuiItem2* item, int col, float effect);
/// Image fill: the image drawn over the window background colour into a new bitmap.
void setGuiImage(CGuiItem2* item, CImageChunk* img);
int RGBToInt(int col);
int intToRGB(int col);

/// Draws the item into r; options drawNoFill and drawNoFrame leave those parts out.
void drawGuiItem(CGraphic* g, CRect r, CGuiItem2* item, int options);
