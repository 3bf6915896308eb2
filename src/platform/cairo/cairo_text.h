// Text on a Cairo context: the "Helvetica" face through fontconfig, 8-bit text as Mac Roman.
#pragma once

#include <string>

#include <cairo.h>

/// The 8-bit text (Mac Roman for bytes 128..255) as UTF-8 for Cairo.
std::string macRomanToUtf8(const char* text);
/// Selects the face at the given size, unhinted metrics, no antialiasing.
void selectTextFont(cairo_t* cr, int size);
