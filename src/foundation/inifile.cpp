#include "foundation/inifile.h"

CStr strToSection(const CStr& line) {
    CStr t = line.trim();
    int n = t.length();
    if (n > 2 && t[0] == '[' && t[n - 1] == ']') return t.sub(1, n - 2);
    return CStr();
}

CStr strToIdent(const CStr& line) {
    int eq = line.pos("=");
    return eq < 0 ? CStr() : line.sub(0, eq).trim();
}

CStr strToValue(const CStr& line) {
    int eq = line.pos("=");
    return eq < 0 ? CStr() : line.sub(eq + 1, -1).trim();
}

namespace {
bool isHeader(const CStr& line) {
    return strToSection(line).length() > 0;
}

bool sameName(const CStr& a, const CStr& b) {
    return a.upperCase() == b.upperCase();
}

// Index of the section's first header, or -1.
int findSection(const CStringList& lines, const CStr& section) {
    for (int i = 0; i < lines.count(); i++) {
        CStr line = lines.getStr(i);
        if (isHeader(line) && sameName(strToSection(line), section)) return i;
    }
    return -1;
}

// Index of the next header after from, or the line count.
int sectionEnd(const CStringList& lines, int from) {
    int i = from + 1;
    while (i < lines.count() && !isHeader(lines.getStr(i)))
        i++;
    return i;
}

bool isEntry(const CStr& line, const CStr& ident) {
    return line.pos("=") >= 0 && !isHeader(line) && sameName(strToIdent(line), ident);
}

// Index of the identifier's first entry inside the section, or -1.
int findEntry(const CStringList& lines, const CStr& section, const CStr& ident) {
    int header = findSection(lines, section);
    if (header < 0) return -1;
    int end = sectionEnd(lines, header);
    for (int i = header + 1; i < end; i++)
        if (isEntry(lines.getStr(i), ident)) return i;
    return -1;
}
} // namespace

CStr CIniFile::readString(const CStr& section, const CStr& ident, const CStr& def) {
    return CIniReader(fileName).readString(section, ident, def);
}

int CIniFile::readInteger(const CStr& section, const CStr& ident, int def) {
    return strAsIntDef(readString(section, ident, asStr(def)), def);
}

CStr CIniReader::readString(const CStr& section, const CStr& ident, const CStr& def) const {
    int at = findEntry(lines, section, ident);
    return at < 0 ? def : strToValue(lines.getStr(at));
}

int CIniReader::readInteger(const CStr& section, const CStr& ident, int def) const {
    return strAsIntDef(readString(section, ident, asStr(def)), def);
}

void CIniFile::writeString(const CStr& section, const CStr& ident, const CStr& value) {
    CStringList lines;
    lines.open(fileName);
    int header = findSection(lines, section);
    if (header < 0) {
        lines.add("[" + section + "]");
        lines.add(ident + "=" + value);
    } else {
        int end = sectionEnd(lines, header);
        int at = findEntry(lines, section, ident);
        if (at >= 0) {
            CStr line = lines.getStr(at);
            lines.setItem(at, line.sub(0, line.pos("=") + 1) + value);
        } else {
            while (end > 1 && lines.getStr(end - 1).length() == 0)
                end--;
            lines.insert(end, ident + "=" + value);
        }
    }
    lines.save(fileName);
}

void CIniFile::writeInteger(const CStr& section, const CStr& ident, int value) {
    writeString(section, ident, asStr(value));
}

void CIniFile::readSection(const CStr& section, CStringList* list) {
    CStringList lines;
    lines.open(fileName);
    int header = findSection(lines, section);
    if (header < 0 || !list) return;
    int end = sectionEnd(lines, header);
    for (int i = header + 1; i < end; i++)
        if (lines.getStr(i).length() > 0) list->add(lines.getStr(i));
}

void CIniFile::eraseValue(const CStr& section, const CStr& ident) {
    CStringList lines;
    lines.open(fileName);
    int at = findEntry(lines, section, ident);
    if (at >= 0) lines.del(at);
    lines.save(fileName);
}

void CIniFile::eraseSection(const CStr& section) {
    CStringList lines;
    lines.open(fileName);
    int header = findSection(lines, section);
    if (header >= 0) {
        int end = sectionEnd(lines, header);
        for (int i = end - 1; i >= header; i--)
            lines.del(i);
    }
    lines.save(fileName);
}
