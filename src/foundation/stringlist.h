// List of owned strings, optionally kept in case-insensitive order.
#pragma once

#include "foundation/list.h"
#include "foundation/object.h"

class CStringItem : public CObject {
public:
    explicit CStringItem(const CStr& s) : text(s) {}
    CStr text;
};

class CStringList : public CObject {
public:
    CStringList() = default;
    CStringList(const CStringList&) = delete;
    CStringList& operator=(const CStringList&) = delete;
    ~CStringList() override;

    void add(const CStr& s);
    void insert(int i, const CStr& s);
    CStr getStr(int i) const;
    void setItem(int i, const CStr& s);
    int count() const { return list.getCount(); }
    void del(int i);
    void clear();
    /// Writes the texts separated by CR LF, with no line end after the last.
    void save(const CStr& path) const;
    /// Replaces the list with the trimmed lines of the file; nothing when it cannot be read.
    void open(const CStr& path);

    bool sorted = false;

private:
    CStringItem* item(int i) const { return static_cast<CStringItem*>(list.items(i)); }

    CList list;
};
