// The one rule for names and paths in every output: bytes that are no valid
// UTF-8, and in messages control characters, as "\xNN".
#include <gtest/gtest.h>

#include "common/SystemText.h"
#include "common/Utf8.h"

namespace quorvane {
namespace {

TEST(EscapeBytesTest, InvalidUtf8AndControlCharactersAsHexEscapes) {
    struct TCase {
        std::string Text;
        std::string InvalidUtf8;  // with {.InvalidUtf8 = true}
        std::string Message;  // with both
    };
    const TCase Cases[] = {
        {"plain", "plain", "plain"},
        {"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80",
         "\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"},  // ä € 😀
        {"a\xff" "b", "a\\xff" "b", "a\\xff" "b"},
        {"\xc0\xaf", "\\xc0\\xaf", "\\xc0\\xaf"},  // overlong
        {"\xed\xa0\x80", "\\xed\\xa0\\x80", "\\xed\\xa0\\x80"},  // surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80", "\\xf4\\x90\\x80\\x80"},  // above U+10FFFF
        {"x\xe2\x82", "x\\xe2\\x82", "x\\xe2\\x82"},  // cut at the end
        {"miss\ning\t\x1b[31mRED\x7f", "miss\ning\t\x1b[31mRED\x7f", "miss\\x0aing\\x09\\x1b[31mRED\\x7f"},
        {std::string("nul\0", 4), std::string("nul\0", 4), "nul\\x00"},
        {" ~\x80", " ~\\x80", " ~\\x80"},  // the last printable ASCII characters stay
    };
    for (const TCase& Case : Cases) {
        EXPECT_EQ(EscapeBytes(Case.Text, {.InvalidUtf8 = true}), Case.InvalidUtf8) << Case.Text;
        EXPECT_EQ(EscapeBytes(Case.Text, {.InvalidUtf8 = true, .Controls = true}), Case.Message) << Case.Text;
    }
    EXPECT_EQ(EscapeBytes("\xe4\x1b", {.Controls = true}), "\xe4\\x1b");  // an ANSI text keeps its letters
}

TEST(EscapeBytesTest, OutputsOfThisBuildFollowTheRule) {
#ifdef _WIN32
    // Every byte of the ANSI code page is a character.
    EXPECT_EQ(OutputText("M\xfcller\x1b"), "M\xfcller\x1b");
    EXPECT_EQ(MessageText("M\xfcller\x1b"), "M\xfcller\\x1b");
#else
    EXPECT_EQ(OutputText("M\xfcller\x1b"), "M\\xfcller\x1b");
    EXPECT_EQ(MessageText("M\xfcller\x1b"), "M\\xfcller\\x1b");
    EXPECT_EQ(OutputText("M\xc3\xbcller"), "M\xc3\xbcller");
#endif
}

}  // namespace
}  // namespace quorvane
