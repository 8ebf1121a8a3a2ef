#include "util/printable.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

// What a file may hold to take over a terminal: an escape sequence, a line
// end that forges a line of ours, a carriage return, a C1 control in UTF-8.
TEST(Printable, ControlCharactersBecomeEscapesAndOtherTextStays) {
    EXPECT_EQ(printable("a\x1b[31mRED\nproblems   none\r"),
              "a\\x1b[31mRED\\x0aproblems   none\\x0d");
    EXPECT_EQ(printable("x\x7fy\xc2\x9b" "z"), "x\\x7fy\\u009bz");
    // Other UTF-8 stays, the C2 lead byte of a printable character too.
    EXPECT_EQ(printable("caf\xc3\xa9 \xc2\xa0 \xe2\x82\xac"), "caf\xc3\xa9 \xc2\xa0 \xe2\x82\xac");
    EXPECT_EQ(printable("end\xc2"), "end\xc2");
    // A right-to-left override would show "txt.exe" as "exe.txt"; its
    // neighbours in the same block stay.
    EXPECT_EQ(printable("a\xe2\x80\xaetxt.exe\xe2\x81\xa9\xe2\x80\x94\xe2\x80"),
              "a\\u202etxt.exe\\u2069\xe2\x80\x94\xe2\x80");
    EXPECT_EQ(printable("\xd8\x9c" "1\xe2\x80\xa8" "2\xd8\xa7"), "\\u061c1\\u20282\xd8\xa7");
    EXPECT_EQ(printable(""), "");
}

}  // namespace
}  // namespace lumek
