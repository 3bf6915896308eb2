// Singly linked list of untyped pointers; owns its nodes, never its items.
#pragma once

struct CListItem {
    void* item;
    CListItem* next;
};

class CList {
public:
    CList() = default;
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;
    virtual ~CList();

    void add(void* p);
    void addUnique(void* p);
    /// Fast append while the cursor is the tail.
    void addLast(void* p);
    void insert(int i, void* p);
    void* items(int i) const;
    void* getItem(int i) const { return items(i); }
    int getCount() const { return count; }
    int indexed(const void* p) const;
    void del(int i);
    void remove(const void* p);
    void replace(const void* oldItem, void* newItem);
    void exchange(int i, int j);
    void* pop();
    void* first();
    void* next_old();
    /// Iteration without shared state: a null node starts at the head.
    void* next2(CListItem** node) const;
    void* last() const { return items(count - 1); }
    void* next(const void* p) const;
    /// Moves the node holding p out of src to index at (the end when at < 0 or >= count).
    int moveFrom(CList* src, void* p, int at);
    void clear();

private:
    CListItem* nodeAt(int i) const;
    CListItem* nodeOf(const void* p, CListItem** before) const;
    void linkAt(CListItem* node, int at);
    void unlink(CListItem* node, CListItem* before);

    int count = 0;
    CListItem* head = nullptr;
    CListItem* cursor = nullptr;
};
