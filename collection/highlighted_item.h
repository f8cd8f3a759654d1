#pragma once
// What the collection window lends the Highlighted Item Reports menu: its
// current series and, when the series shows one, its current book.

#include <optional>

#include "reports/preview_form.h"

// The collection window's current series and book; nullopt while no
// collection window is open.
std::optional<TCurrentSeriesKey> HighlightedInCollectionWindow();
