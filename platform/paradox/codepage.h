#pragma once
// Text conversion between the program's UTF-8 strings and a table's code
// page (header offset 0x6A).  Conversion is exact: a character the code page
// cannot hold is reported, never replaced.

#include <cstddef>
#include <cstdint>
#include <string>

namespace paradox {

class CodePage {
public:
    // The code page with this number, or nullptr when the engine has no
    // table for it.  Known: 1252, 437, 850, 865.
    static const CodePage* find(int number);
    static const CodePage& windows1252();

    int number() const { return number_; }

    // Appends the UTF-8 form of `n` bytes of text in this code page.
    void appendUtf8(const std::uint8_t* bytes, std::size_t n, std::string& out) const;
    std::string toUtf8(const std::uint8_t* bytes, std::size_t n) const {
        std::string s;
        appendUtf8(bytes, n, s);
        return s;
    }

    // Converts UTF-8 text into this code page.  Returns false when the text
    // holds a character the code page cannot hold (or is not valid UTF-8);
    // `bad` then receives that character as UTF-8.
    bool fromUtf8(const std::string& utf8, std::string& out, std::string& bad) const;

    CodePage(int number, const char16_t* upperHalf);

private:
    int number_;
    const char16_t* upper_;  // code points of bytes 0x80..0xFF
};

}  // namespace paradox
