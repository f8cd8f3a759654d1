#include "collection/highlighted_item.h"

#include "collection/comic_form.h"
#include "platform/db/field.h"

std::optional<TCurrentSeriesKey> HighlightedInCollectionWindow() {
    if (!ComicForm) return std::nullopt;
    TCurrentSeriesKey key{ComicForm->CurrentSeries, ComicForm->CurrentPublisher,
                          ComicForm->CurrentEntry};
    // The books table is read after the window's first paint; until then,
    // and in a series without books, there is no current book.
    TTable* books = ComicForm->TableBooks;
    if (books && books->Active() && !books->IsEmpty()) {
        key.HasCurrentBook = true;
        key.CurrentComicNo = books->FieldByName("COMIC_NO")->AsString();
        key.CurrentEdition = books->FieldByName("EDITION")->AsString();
    }
    return key;
}
