// The doubly linked item list.
#include "List/List.h"

#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"

ListHeader* ListCreate() { return static_cast<ListHeader*>(GetMem(sizeof(ListHeader))); }

void ListPushLink(ListHeader* list, ListLink* link) {
    if (!list || !link) return;
    if (list->nCount == 0 || !list->pFirst || !list->pLast) {
        link->pPrev = link->pNext = nullptr;
        list->pFirst = list->pLast = link;
        list->nCount = 1;
    } else if (list->fPushFront) {
        link->pPrev = nullptr;
        link->pNext = list->pFirst;
        list->pFirst->pPrev = link;
        list->pFirst = link;
        ++list->nCount;
    } else {
        link->pNext = nullptr;
        link->pPrev = list->pLast;
        list->pLast->pNext = link;
        list->pLast = link;
        ++list->nCount;
    }
    list->nTotal += link->nSize;
}

void ListPopLink(ListHeader* list, ListLink* link) {
    if (!list || list->nCount == 0 || !list->pFirst) return;
    if (!link) link = list->pFirst;
    --list->nCount;
    list->nTotal -= link->nSize;
    if (list->nCount <= 0) {
        list->nCount = 0;
        list->pFirst = list->pLast = nullptr;
    } else if (link == list->pFirst) {
        list->pFirst = link->pNext;
        list->pFirst->pPrev = nullptr;
    } else if (link == list->pLast) {
        list->pLast = link->pPrev;
        list->pLast->pNext = nullptr;
    } else {
        link->pPrev->pNext = link->pNext;
        link->pNext->pPrev = link->pPrev;
    }
}

void* ListPushItem(ListHeader* list, const void* src, int len) {
    if (!list || len <= 0) return nullptr;
    auto* link = static_cast<ListLink*>(GetMem(sizeof(ListLink)));
    if (!link) return nullptr;
    void* item = GetMem(len);
    if (!item) {
        PutMem(link);
        return nullptr;
    }
    if (src) memcpy(item, src, size_t(len));
    link->pItem = item;
    link->nSize = len;
    ListPushLink(list, link);
    return item;
}

static ListLink* FindLink(ListHeader* list, const void* item) {
    for (ListLink* l = list->pFirst; l; l = l->pNext)
        if (l->pItem == item) return l;
    return nullptr;
}

// Unlinks and releases link; the item goes too when release is set.
static void* DropLink(ListHeader* list, ListLink* link, char release) {
    if (!link) return nullptr;
    ListPopLink(list, link);
    void* item = link->pItem;
    PutMem(link);
    if (release) {
        PutMem(item);
        return nullptr;
    }
    return item;
}

void* ListPopItem(ListHeader* list, void* item, char release) {
    if (!list || !list->pFirst) return nullptr;
    if (!item) item = list->pFirst->pItem;
    return DropLink(list, FindLink(list, item), release);
}

void* ListPopFirstItem(ListHeader* list, char release) {
    return list ? DropLink(list, list->pFirst, release) : nullptr;
}

void* ListPopLastItem(ListHeader* list, char release) {
    return list ? DropLink(list, list->pLast, release) : nullptr;
}

void* ListFindItemN(ListHeader* list, int n) {
    if (!list || n < 1) return nullptr;
    ListLink* l = list->pFirst;
    for (int i = 1; l && i < n; ++i) l = l->pNext;
    return l ? l->pItem : nullptr;
}

int ListGetItemPos(ListHeader* list, const void* item) {
    if (!list) return 0;
    int pos = 1;
    for (ListLink* l = list->pFirst; l; l = l->pNext, ++pos)
        if (l->pItem == item) return pos;
    return 0;
}

void ListMoveItem(void* item, ListHeader* from, ListHeader* to) {
    if (!from || !to || !from->pFirst) return;
    ListLink* link = FindLink(from, item);
    if (!link) return;
    ListPopLink(from, link);
    ListPushLink(to, link);
}

void ListCopy(ListHeader* from, ListHeader* to) {
    if (!from || !to) return;
    for (ListLink* l = from->pFirst; l; l = l->pNext) ListPushItem(to, l->pItem, l->nSize);
}

void ListDelAllItems(ListHeader* list) {
    if (!list) return;
    ListLink* l = list->pFirst;
    while (l) {
        ListLink* next = l->pNext;
        ListPopLink(list, l);
        PutMem(l->pItem);
        PutMem(l);
        l = next;
    }
    list->pWalk = nullptr;
}

void ListDel(ListHeader* list) {
    if (!list) return;
    ListDelAllItems(list);
    PutMem(list);
}

void* ListWalk(ListHeader* list, int cont) {
    if (!list) return nullptr;
    if (cont == 0) list->pWalk = list->pFirst;
    ListLink* l = list->pWalk;
    if (!l) return nullptr;
    list->pWalk = l->pNext;
    return l->pItem;
}

void* ListWalkBackward(ListHeader* list, int cont) {
    if (!list) return nullptr;
    if (cont == 0) list->pWalk = list->pLast;
    ListLink* l = list->pWalk;
    if (!l) return nullptr;
    list->pWalk = l->pPrev;
    return l->pItem;
}

void ListDump(ListHeader* list) {
    if (!list) return;
    int pos = 1;
    for (ListLink* l = list->pFirst; l; l = l->pNext, ++pos) {
        int32_t first = 0;
        if (l->pItem) memcpy(&first, l->pItem, size_t(l->nSize) < sizeof first ? size_t(l->nSize) : sizeof first);
        printf("%3i) %li\n", pos, long(first));
    }
}
