#pragma once
// A planned row in a fraction of a paradox::Row's memory.  A plan holds a
// row per book, and a paradox::Row of the books table takes 640 bytes
// before its texts; here the values lie one after the other in one string
// (a byte saying the kind, then the value), some 150 bytes a book.  For
// 100,000 books that is 60 MB of fresh memory less to fault in.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/paradox/table.h"

namespace import {

class CompactRow {
public:
    CompactRow() = default;
    explicit CompactRow(const paradox::Row& row);

    std::size_t size() const { return count_; }
    // The value of field `field` (a copy).
    paradox::Value At(std::size_t field) const;
    // The text of field `field` as held here (empty when it is not a text).
    std::string_view Text(std::size_t field) const;
    // Every value, into `row` (whose room is used again).
    void ExpandInto(paradox::Row& row) const;
    paradox::Row Expanded() const;

private:
    enum Kind : char { kNull, kFalse, kTrue, kInteger, kFloating, kText, kBytes };
    // Where field `field` starts in bytes_.
    std::size_t Offset(std::size_t field) const;
    // The value starting at `at`; `at` moves past it.
    paradox::Value Read(std::size_t& at) const;
    std::size_t Skip(std::size_t at) const;
    std::size_t Length(std::size_t& at) const;

    std::string bytes_;
    std::size_t count_ = 0;
};

}  // namespace import
