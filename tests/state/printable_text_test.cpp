#include "state/printable_text.h"

#include <QString>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zintrel {
namespace {

struct Case {
  std::string in;
  std::string out;
};

// Reads the escapes of PrintableText back, or returns nothing when a
// backslash does not start one: then some text could pass for an escape.
std::optional<std::string> Unescaped(const std::string& text) {
  const auto digit = [&text](std::size_t i) {
    const char c = i < text.size() ? text[i] : '\0';
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (i + 1 >= text.size() || text[i + 1] != 'x' || digit(i + 2) < 0 || digit(i + 3) < 0) return std::nullopt;
    bytes += static_cast<char>(digit(i + 2) * 16 + digit(i + 3));
    i += 3;
  }
  return bytes;
}

TEST(PrintableTextTest, EscapesExactlyTheUnsafeBytes) {
  const std::vector<Case> cases = {
      {"", ""},
      {"plain 'text' {}[]/", "plain 'text' {}[]/"},
      {"\xE7\xB2\x92\xE5\xAD\x90", "\xE7\xB2\x92\xE5\xAD\x90"},  // Two CJK characters.
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // U+1F600, four bytes.
      {"\xC2\xA0\xEF\xBF\xBD", "\xC2\xA0\xEF\xBF\xBD"},          // U+00A0 and U+FFFD are not controls.
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},                  // U+10FFFF, the last code point.
      // A lone CSI byte, then a UTF-8-encoded surrogate.
      {"\x9B\xED\xA0\x80", "\\x9B\\xED\\xA0\\x80"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"line\nbreak\ttab\rcr", "line\\x0Abreak\\x09tab\\x0Dcr"},
      {"\x1B[31mred\x7F", "\\x1B[31mred\\x7F"},
      {"\xC2\x9B" "2J", "\\xC2\\x9B2J"},  // The C1 CSI as a valid character.
      {"\xC2\x85\xC2\x9F", "\\xC2\\x85\\xC2\\x9F"},
      {"\xC0\xAF", "\\xC0\\xAF"},          // Overlong '/'.
      {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},  // Overlong, three bytes.
      {"\xF0\x80\x80\xAF", "\\xF0\\x80\\x80\\xAF"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // Past U+10FFFF.
      {"\xF5\xFF\xFE", "\\xF5\\xFF\\xFE"},
      {"\x80x\xBF", "\\x80x\\xBF"},  // Stray continuation bytes.
      // A sequence cut short, at the end and before a good character.
      {"ab\xE3\x81", "ab\\xE3\\x81"},
      {"\xE3\x81" "A\xE3\x81\x82", "\\xE3\\x81A\xE3\x81\x82"},
      {"\xF0\x9F\x98", "\\xF0\\x9F\\x98"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    EXPECT_EQ(PrintableText(c.in), c.out);
    EXPECT_EQ(IsPrintableText(c.in), c.in == c.out);
    EXPECT_TRUE(IsPrintableText(c.out));
    EXPECT_EQ(Unescaped(c.out), c.in);
  }
}

// Every backslash of the result starts an escape, so text that looks
// escaped already cannot pass for the bytes it imitates. Text with a
// backslash is safe to print as it is, though; it only reads ambiguously.
TEST(PrintableTextTest, BackslashIsEscapedSoEscapesCannotBeForged) {
  const std::vector<Case> cases = {
      {"\\", "\\x5C"},
      {"\\x1B[2J", "\\x5Cx1B[2J"},
      {"\x1B[2J", "\\x1B[2J"},
      {"a\\\\b\\", "a\\x5C\\x5Cb\\x5C"},
      {"\\\xC2\x9B", "\\x5C\\xC2\\x9B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    EXPECT_EQ(PrintableText(c.in), c.out);
    EXPECT_EQ(Unescaped(c.out), c.in);
  }
  EXPECT_TRUE(IsPrintableText("\\x1B"));
  // Escaping twice escapes the escapes: no pass leaves a backslash bare.
  EXPECT_EQ(PrintableText(PrintableText("\x1B")), "\\x5Cx1B");
}

// An independent judge: Qt's UTF-8 decoder turns every ill-formed byte into
// U+FFFD, so text is valid exactly when it survives the round trip (text that
// holds U+FFFD itself is left out of the sweep). A leading letter keeps the
// decoder from dropping a byte order mark.
bool ValidPerQt(const std::string& bytes) {
  const std::string text = "a" + bytes;
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString() == text;
}

bool HoldsControl(const std::string& bytes) {
  const QString decoded = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  for (const QChar c : decoded) {
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)) return true;
  }
  return false;
}

void CheckAgainstQt(const std::string& bytes) {
  const bool printable = ValidPerQt(bytes) && !HoldsControl(bytes);
  ASSERT_EQ(IsPrintableText(bytes), printable) << testing::PrintToString(bytes);
  const std::string out = PrintableText(bytes);
  ASSERT_TRUE(ValidPerQt(out) && !HoldsControl(out)) << testing::PrintToString(bytes);
  ASSERT_EQ(out == bytes, printable && bytes.find('\\') == std::string::npos) << testing::PrintToString(bytes);
  ASSERT_EQ(Unescaped(out), bytes) << testing::PrintToString(bytes);
}

// Every string of one and two bytes, every three-byte string that starts a
// three-byte sequence, and the edges of every four-byte one.
TEST(PrintableTextTest, AgreesWithQtsDecoderOnShortStrings) {
  for (int a = 0; a < 256; ++a) {
    CheckAgainstQt(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) CheckAgainstQt({static_cast<char>(a), static_cast<char>(b)});
  }
  for (int a = 0xE0; a <= 0xEF; ++a) {
    for (int b = 0x70; b < 0xD0; ++b) {
      for (int c = 0x70; c < 0xD0; ++c) {
        if (a == 0xEF && b == 0xBF && c == 0xBD) continue;  // U+FFFD itself.
        CheckAgainstQt({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
      }
    }
  }
  const int edges[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
  for (int a = 0xF0; a <= 0xF7; ++a) {
    for (const int b : edges) {
      for (const int c : edges) {
        for (const int d : edges) {
          CheckAgainstQt({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)});
        }
      }
    }
  }
}

}  // namespace
}  // namespace zintrel

namespace zintrel {
namespace {

// A box keeps Windows' backslashes; everything else is escaped as for a
// terminal, so the box's line stays one line of valid UTF-8.
// A quote of millions of characters keeps its beginning and end, never a
// character cut in two.
TEST(BoxTextTest, CutsALongQuoteAroundAnEllipsis) {
  const std::string exact(kBoxQuoteCharacters, 'a');
  EXPECT_EQ(BoxText(exact), exact);
  std::string huge = "start";
  for (int i = 0; i < 500000; ++i) huge += "\xE3\x82\x86";  // ゆ
  huge += "\x01" "end";
  const std::string cut = BoxText(huge);
  EXPECT_TRUE(IsPrintableText(cut));
  EXPECT_EQ(cut.rfind("startゆ", 0), 0u);
  EXPECT_NE(cut.find("ゆ\u2026ゆ"), std::string::npos);
  EXPECT_EQ(cut.substr(cut.size() - 7), "\\x01end");
  EXPECT_EQ(QString::fromUtf8(QByteArray::fromStdString(cut)).size(), static_cast<qsizetype>(kBoxQuoteCharacters));
}

TEST(BoxTextTest, KeepsBackslashesOnly) {
  EXPECT_EQ(BoxText("C:\\Users\\ゆき\\state.zintrel"), "C:\\Users\\ゆき\\state.zintrel");
  EXPECT_EQ(BoxText("a\nb\x1B\xFF\\"), "a\\x0Ab\\x1B\\xFF\\");
  for (const std::string text : {"plain", "\xC2\x9B", "\xED\xA0\x80", "tab\there"}) {
    EXPECT_TRUE(IsPrintableText(BoxText(text))) << text;
  }
}

}  // namespace
}  // namespace zintrel
