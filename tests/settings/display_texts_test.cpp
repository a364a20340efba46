#include "settings/display_texts.h"

#include <gtest/gtest.h>

namespace zintrel {
namespace {

// The box shows one line whatever a file or its path holds: escapes for
// controls and broken UTF-8, the first letter capitalised, and Windows'
// backslashes in a path as they are.
TEST(DisplayTextsTest, LinesAreOnePrintableLine) {
  EXPECT_EQ(OpenFailedText("a", {StateFileProblem::kCannotRead, "No such file or directory"}),
            "Cannot read 'a': No such file or directory");
  EXPECT_EQ(OpenFailedText("x\ny", {StateFileProblem::kNotAState, "malformed JSON"}),
            "'x\\x0Ay' is not a state this program can open: malformed JSON");
  EXPECT_EQ(OpenFailedText("a", {}), "");
  EXPECT_EQ(SaveStateFailedText("C:\\Users\\\x1B[2J.zintrel", "Access is denied"),
            "Cannot save the state as 'C:\\Users\\\\x1B[2J.zintrel': Access is denied");
  EXPECT_EQ(SavePictureFailedText("/tmp/\xFF.png", "No space left on device"),
            "Cannot save the picture as '/tmp/\\xFF.png': No space left on device");
  EXPECT_EQ(WindowTooSmallText(16384, 300, 1270, 300),
            "The display window cannot be 16384 × 300 pixels on this screen; it is 1270 × 300, and the next tick "
            "stretches the particles to fit");
}

TEST(DisplayTextsTest, ProposedNamesSortByTime) {
  EXPECT_EQ(ProposedFileName(2026, 12, 7, 9, 5, 3, kStateSuffix), "zintrel-20261207-090503.zintrel");
  EXPECT_EQ(ProposedFileName(2027, 1, 31, 23, 59, 59, "png"), "zintrel-20270131-235959.png");
}

}  // namespace
}  // namespace zintrel
