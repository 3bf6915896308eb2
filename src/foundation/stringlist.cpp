#include "foundation/stringlist.h"

#include <cstdio>
#include <cstring>

CStringList::~CStringList() {
    clear();
}

void CStringList::add(const CStr& s) {
    auto* fresh = new CStringItem(s);
    if (!sorted) {
        list.add(fresh);
        return;
    }
    CStr key = s.upperCase();
    int at = 0;
    while (at < count() && strcmp(item(at)->text.upperCase().asChar(), key.asChar()) <= 0)
        at++;
    if (at == count())
        list.add(fresh);
    else
        list.insert(at, fresh);
}

void CStringList::insert(int i, const CStr& s) {
    list.insert(i, new CStringItem(s));
}

CStr CStringList::getStr(int i) const {
    CStringItem* it = item(i);
    return it ? it->text : CStr();
}

void CStringList::setItem(int i, const CStr& s) {
    if (CStringItem* it = item(i)) it->text = s;
}

void CStringList::del(int i) {
    CStringItem* it = item(i);
    if (!it) return;
    list.del(i);
    delete it;
}

void CStringList::clear() {
    while (count() > 0)
        del(count() - 1);
}

void CStringList::save(const CStr& path) const {
    FILE* f = fopen(path.asChar(), "w");
    if (!f) return;
    for (int i = 0; i < count(); i++) {
        if (i > 0) fputs("\r\n", f);
        fputs(item(i)->text.asChar(), f);
    }
    fclose(f);
}

void CStringList::open(const CStr& path) {
    FILE* f = fopen(path.asChar(), "r");
    if (!f) return;
    clear();
    char line[256];
    while (fgets(line, sizeof line, f))
        add(CStr(line).trim());
    fclose(f);
}
