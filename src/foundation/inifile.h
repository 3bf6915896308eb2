// Settings file of [sections] and ident=value lines; every call loads and, to change, saves it.
#pragma once

#include "foundation/object.h"
#include "foundation/stringlist.h"

class CIniFile : public CObject {
public:
    explicit CIniFile(const CStr& path) : fileName(path) {}

    CStr readString(const CStr& section, const CStr& ident, const CStr& def);
    int readInteger(const CStr& section, const CStr& ident, int def);
    void writeString(const CStr& section, const CStr& ident, const CStr& value);
    void writeInteger(const CStr& section, const CStr& ident, int value);
    /// Appends the section's non-empty lines to list.
    void readSection(const CStr& section, CStringList* list);
    void eraseValue(const CStr& section, const CStr& ident);
    void eraseSection(const CStr& section);

    CStr fileName;
};

/// An INI file read once into memory, for callers that read many keys: each read looks only
/// at the loaded lines. Later changes to the file are not seen.
class CIniReader {
public:
    explicit CIniReader(const CStr& path) { lines.open(path); }

    CStr readString(const CStr& section, const CStr& ident, const CStr& def) const;
    int readInteger(const CStr& section, const CStr& ident, int def) const;

private:
    CStringList lines;
};

/// Section name of a header line, or empty.
CStr strToSection(const CStr& line);
/// Identifier before the first "=", or empty when there is none.
CStr strToIdent(const CStr& line);
CStr strToValue(const CStr& line);
