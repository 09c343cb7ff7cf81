// List: the toolkit's doubly linked list of items. The list copies each item
// into memory of its own (zero-filled, from the memory manager), keeps its
// count, the total size of its items, an insertion side and one walk
// position, so a caller walks it with one call per item.
#pragma once

#include <cstdint>

// One link: its neighbours and the item it carries.
struct ListLink {
    ListLink* pPrev;
    ListLink* pNext;
    void* pItem;
    int32_t nSize;  // the item's length in bytes
};

// A list. All zero is the empty list that appends at the end, so a header
// may be embedded in another record.
struct ListHeader {
    ListLink* pFirst;
    ListLink* pLast;
    ListLink* pWalk;  // the link the next walk call hands out
    int32_t nCount;
    int32_t nTotal;   // sum of the links' nSize
    char fPushFront;  // not 0: new links go before pFirst
};

// Every operation does nothing, or returns none or 0, for a none list.
ListHeader* ListCreate();
void ListPushLink(ListHeader* list, ListLink* link);
// Unlinks link (none: the first link) without releasing it; the walk
// position is left as it is.
void ListPopLink(ListHeader* list, ListLink* link);
// A new item of len bytes, a copy of src (zero-filled without src); none for
// len 0 or when memory cannot be had.
void* ListPushItem(ListHeader* list, const void* src, int len);
// Remove the link holding item (none: the first). They return the item when
// release is 0; with release set, the item is given back and none returned.
void* ListPopItem(ListHeader* list, void* item, char release);
void* ListPopFirstItem(ListHeader* list, char release);
void* ListPopLastItem(ListHeader* list, char release);
void* ListFindItemN(ListHeader* list, int n);              // 1-based; none out of range
int ListGetItemPos(ListHeader* list, const void* item);   // 1-based; 0 absent
void ListMoveItem(void* item, ListHeader* from, ListHeader* to);
void ListCopy(ListHeader* from, ListHeader* to);           // appends copies
void ListDel(ListHeader* list);                            // links, items and header
void ListDelAllItems(ListHeader* list);                    // links and items
// cont 0 restarts at the front (the back); every call hands out the item at
// the walk position and moves it on; none at the end.
void* ListWalk(ListHeader* list, int cont);
void* ListWalkBackward(ListHeader* list, int cont);
// Prints "%3i) %li\n": each link's position and its item's first 32-bit integer.
void ListDump(ListHeader* list);
