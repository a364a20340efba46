#include "state/printable_text.h"

#include <cstdint>
#include <vector>

namespace zintrel {
namespace {

// Returns the length of the well-formed UTF-8 sequence at the start of
// bytes, or 0 when its first byte does not begin one. The ranges are those
// of the Unicode standard's table of well-formed byte sequences, which rule
// out overlong forms, surrogates and values past U+10FFFF.
std::size_t SequenceLength(std::string_view bytes) {
  const auto at = [&bytes](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = at(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;  // The allowed range of the second byte.
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // Overlong below U+0800.
    if (lead == 0xED) high = 0x9F;  // Surrogates U+D800 .. U+DFFF.
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // Overlong below U+10000.
    if (lead == 0xF4) high = 0x8F;  // Past U+10FFFF.
  } else {
    return 0;  // A continuation byte, C0/C1 (overlong) or F5 .. FF.
  }
  if (bytes.size() < length) return 0;
  if (at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xBF) return 0;
  }
  return length;
}

// C0 controls, DEL, and the C1 controls U+0080 .. U+009F (encoded C2 80 .. C2 9F).
bool IsControl(std::string_view sequence) {
  const auto lead = static_cast<std::uint8_t>(sequence[0]);
  if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
  return sequence.size() == 2 && lead == 0xC2 && static_cast<std::uint8_t>(sequence[1]) <= 0x9F;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
}

}  // namespace

namespace {

std::string Escaped(std::string_view bytes, bool escapeBackslash) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = SequenceLength(bytes);
    // A bad lead byte is escaped alone, so that the next byte gets its own
    // chance to start a good sequence.
    const std::string_view sequence = bytes.substr(0, length == 0 ? 1 : length);
    if (length == 0 || IsControl(sequence) || (escapeBackslash && sequence == "\\")) {
      AppendEscaped(out, sequence);
    } else {
      out += sequence;
    }
    bytes.remove_prefix(sequence.size());
  }
  return out;
}

}  // namespace

std::string PrintableText(std::string_view bytes) { return Escaped(bytes, true); }

namespace {

// Keeps the beginning and end of text (valid UTF-8) around an ellipsis,
// kBoxQuoteCharacters characters in all, when it is longer.
std::string Shortened(std::string text) {
  // Where each character starts: the escaped text is valid UTF-8.
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if ((static_cast<std::uint8_t>(text[at]) & 0xC0) != 0x80) starts.push_back(at);
  }
  if (starts.size() <= kBoxQuoteCharacters) return text;
  const std::size_t head = kBoxQuoteCharacters * 7 / 10;
  const std::size_t tail = kBoxQuoteCharacters - head - 1;
  return text.substr(0, starts[head]) + "\u2026" + text.substr(starts[starts.size() - tail]);
}

}  // namespace

std::string BoxText(std::string_view bytes) { return Shortened(Escaped(bytes, false)); }

std::string PrintableLine(std::string_view bytes) { return Shortened(Escaped(bytes, true)); }

bool IsPrintableText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = SequenceLength(text);
    if (length == 0 || IsControl(text.substr(0, length))) return false;
    text.remove_prefix(length);
  }
  return true;
}

}  // namespace zintrel
