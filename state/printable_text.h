#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zintrel {

// Returns bytes made safe to print on a terminal: valid UTF-8 is kept as it
// is, except control characters (C0, DEL and C1), which are written as
// \xNN, one escape per byte of their encoding. Every byte that is not part
// of a well-formed UTF-8 sequence (stray continuation bytes, overlong forms,
// surrogates, code points past U+10FFFF, sequences cut short) is written as
// \xNN too. The result is valid UTF-8 and holds no control byte, so text
// quoted from a file can neither break the one-line message it sits in nor
// reach the terminal as an escape sequence (0x9B alone starts one on some).
// The backslash itself is written as \x5C, so every backslash in the result
// starts an escape: a file holding the four characters \x1B reads as
// \x5Cx1B and cannot pass for the byte 0x1B, and the bytes can always be
// read back. Applying it twice therefore escapes the escapes.
std::string PrintableText(std::string_view bytes);

// The most characters a box quotes of one text: a field name or a link of
// millions of characters would make a box no screen shows.
inline constexpr std::size_t kBoxQuoteCharacters = 1000;

// PrintableText for a message box, which no escape sequence reaches and
// where Windows paths are full of backslashes: the same escapes, but the
// backslash kept as it is. A text longer than kBoxQuoteCharacters keeps its
// beginning and end around an ellipsis, kBoxQuoteCharacters in all.
std::string BoxText(std::string_view bytes);

// PrintableText for one line of a terminal, shortened as BoxText shortens:
// a message quoting a name of millions of characters stays one line a
// person can read.
std::string PrintableLine(std::string_view bytes);

// Returns whether text is valid UTF-8 without control characters, that is,
// safe to print as it is; every result of PrintableText is. A backslash is
// allowed, although PrintableText would escape it.
bool IsPrintableText(std::string_view text);

}  // namespace zintrel
