#pragma once
// The elements ComicRack writes for a book, the same in its database
// (ComicDb.xml) and in a comic file's ComicInfo.xml: Series, Number,
// Volume, Title, Writer, Penciller, Publisher, Notes ...

#include "import/imported_book.h"
#include "import/xml_input.h"

namespace import {

// Reads the child elements of the current element (a <Book> or the
// <ComicInfo> root) into `book`.
void ReadComicInfoFields(XmlInput& xml, ImportedBook& book);

}  // namespace import
