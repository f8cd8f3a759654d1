#pragma once
// The elements ComicRack writes for a book, the same in its database
// (ComicDb.xml) and in a comic file's ComicInfo.xml: Series, Number,
// Volume, Title, Writer, Penciller, Publisher, Notes ...

#include <string_view>

#include "import/imported_book.h"

namespace import {

// One book's elements, taken one at a time.
class ComicInfoFields {
public:
    explicit ComicInfoFields(QString origin);
    // Whether the element named `name` is one of the book's fields.
    static bool IsField(std::string_view name);
    void Take(std::string_view name, std::string_view text);
    // The book once all its elements were taken.
    ImportedBook Finish();

private:
    ImportedBook book_;
    QString volume_;
};

}  // namespace import
