#include "foundation/list.h"

CList::~CList() {
    clear();
}

CListItem* CList::nodeAt(int i) const {
    if (i < 0 || i >= count) return nullptr;
    CListItem* n = head;
    while (i-- > 0)
        n = n->next;
    return n;
}

CListItem* CList::nodeOf(const void* p, CListItem** before) const {
    CListItem* prev = nullptr;
    for (CListItem* n = head; n; prev = n, n = n->next) {
        if (n->item == p) {
            if (before) *before = prev;
            return n;
        }
    }
    return nullptr;
}

// Links a node at index at; at <= 0 makes it the head, at >= count appends it.
void CList::linkAt(CListItem* node, int at) {
    if (at <= 0 || !head) {
        node->next = head;
        head = node;
    } else {
        CListItem* prev = nodeAt(at > count ? count - 1 : at - 1);
        node->next = prev->next;
        prev->next = node;
    }
    count++;
}

void CList::unlink(CListItem* node, CListItem* before) {
    if (before)
        before->next = node->next;
    else
        head = node->next;
    // The cursor must never point at a freed node: step it back to the predecessor.
    if (cursor == node) cursor = before;
    delete node;
    count--;
}

void CList::add(void* p) {
    linkAt(new CListItem{p, nullptr}, count);
}

void CList::addUnique(void* p) {
    if (indexed(p) < 0) add(p);
}

void CList::addLast(void* p) {
    if (!head || !cursor) {
        add(p);
        cursor = nodeAt(count - 1);
        return;
    }
    CListItem* node = new CListItem{p, cursor->next};
    cursor->next = node;
    cursor = node;
    count++;
}

void CList::insert(int i, void* p) {
    CListItem* node = new CListItem{p, nullptr};
    if (i == 0 || !head) {
        linkAt(node, 0);
    } else if (i < 0) {
        node->next = head->next;
        head->next = node;
        count++;
    } else {
        linkAt(node, i);
    }
}

void* CList::items(int i) const {
    CListItem* n = nodeAt(i);
    return n ? n->item : nullptr;
}

int CList::indexed(const void* p) const {
    int i = 0;
    for (CListItem* n = head; n; n = n->next, i++)
        if (n->item == p) return i;
    return -1;
}

void CList::del(int i) {
    CListItem* node = nodeAt(i);
    if (node) unlink(node, i > 0 ? nodeAt(i - 1) : nullptr);
}

void CList::remove(const void* p) {
    CListItem* before = nullptr;
    CListItem* node = nodeOf(p, &before);
    if (node) unlink(node, before);
}

void CList::replace(const void* oldItem, void* newItem) {
    CListItem* node = nodeOf(oldItem, nullptr);
    if (node) node->item = newItem;
}

void CList::exchange(int i, int j) {
    CListItem* a = nodeAt(i);
    CListItem* b = nodeAt(j);
    if (!a || !b) return;
    void* t = a->item;
    a->item = b->item;
    b->item = t;
}

void* CList::pop() {
    if (count == 0) return nullptr;
    void* p = last();
    del(count - 1);
    return p;
}

void* CList::first() {
    cursor = head;
    return cursor ? cursor->item : nullptr;
}

void* CList::next_old() {
    if (cursor) cursor = cursor->next;
    return cursor ? cursor->item : nullptr;
}

void* CList::next2(CListItem** node) const {
    *node = *node ? (*node)->next : head;
    return *node ? (*node)->item : nullptr;
}

void* CList::next(const void* p) const {
    CListItem* node = nodeOf(p, nullptr);
    return node && node->next ? node->next->item : nullptr;
}

int CList::moveFrom(CList* src, void* p, int at) {
    if (!src || src == this || (head && src->head == head)) return 0;
    CListItem* before = nullptr;
    CListItem* node = src->nodeOf(p, &before);
    if (!node) return 0;
    if (before)
        before->next = node->next;
    else
        src->head = node->next;
    if (src->cursor == node) src->cursor = before;
    src->count--;
    linkAt(node, at < 0 || at >= count ? count : at);
    return 1;
}

void CList::clear() {
    while (head) {
        CListItem* n = head->next;
        delete head;
        head = n;
    }
    count = 0;
    cursor = nullptr;
}
