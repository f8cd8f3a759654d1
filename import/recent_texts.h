#pragma once
// The texts of recent short values by their bytes: a value read again (a
// publisher, a writer, a grade) is shared rather than decoded into a string
// of its own for every book.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace import {

class RecentTexts {
public:
    using Decode = QString (*)(std::string_view bytes);
    explicit RecentTexts(Decode decode) : decode_(decode) {}

    // What `decode` makes of `bytes`, shared with the last value of the same
    // bytes when it is still held.
    QString Text(std::string_view bytes);

private:
    // Only short values repeat; a long one is not held, so that a file of
    // long values holds no more than a few hundred kilobytes here.
    static constexpr std::size_t kLongest = 64, kSlots = 4096;
    struct Slot {
        std::string bytes;
        QString text;
    };
    Decode decode_;
    std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
};

}  // namespace import
