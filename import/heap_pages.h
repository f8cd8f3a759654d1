#pragma once
// While a plan is read the heap grows by some 900 bytes a book, 90 MB for
// 100,000 books, and the first touch of each 4 KB page of it is a page
// fault: on a virtual machine more than half the time of reading and
// planning.  HeapPages lets the heap grow tens of megabytes at a time and
// asks for each new stretch in huge pages (2 MB, a fault each), where the
// kernel has them.  It changes what is stored nowhere.

#include <QtGlobal>

namespace import {

class HeapPages {
public:
    HeapPages();
    ~HeapPages();
    HeapPages(const HeapPages&) = delete;
    HeapPages& operator=(const HeapPages&) = delete;

    // To be called as the heap grows (after each book): a stretch the heap
    // grew by since the last call is asked for in huge pages.
    void Grown();

private:
    bool padded_ = false;
    char* end_ = nullptr;  // the heap's end at the last call
};

}  // namespace import
