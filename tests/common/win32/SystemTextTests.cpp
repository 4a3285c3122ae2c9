// Texts in the ANSI code page, and the system's error messages.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/SystemText.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

// The test runner starts Wine with an English locale, whose ANSI code page is 1252.
TEST(Utf8ToSystem, ConvertsToTheAnsiCodePage) {
    ASSERT_EQ(1252u, ::GetACP());
    EXPECT_EQ("Gef\xE4hrlich Gr\xF6sse \xDC\xDF", Utf8ToSystem("Gefährlich Grösse Üß"));
    EXPECT_EQ("plain", Utf8ToSystem("plain"));
    EXPECT_EQ("", Utf8ToSystem(""));
    // A character the code page lacks becomes its default character.
    EXPECT_EQ("a?b", Utf8ToSystem("a\xD0\x96" "b"));  // Cyrillic Zhe
}

TEST(Utf8ToSystem, StringTableRowsArriveConverted) {
    EXPECT_EQ("Gef\xE4hrlichkeit nicht bestimmbar", LoadStr(TStringId::sRiskUndetermined));
    EXPECT_EQ("Priorit\xE4t", LoadStr(TStringId::sLabelPriority));
}

TEST(LastSystemErrorText, IsTheMessageOfTheLastErrorTrimmed) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string Text = LastSystemErrorText();
    ASSERT_FALSE(Text.empty());
    EXPECT_NE('\n', Text.back());
    EXPECT_NE(' ', Text.front());
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_NE(Text, LastSystemErrorText());
}

}  // namespace
}  // namespace quorvane
