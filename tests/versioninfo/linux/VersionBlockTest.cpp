// Querying version blocks by path, the UTF-16 conversions, and the blocks this
// system builds itself.
#include <cstring>

#include <gtest/gtest.h>

#include "versioninfo/linux/VersionBlock.h"
#include "versioninfo/pe/PeWriter.h"

namespace quorvane {
namespace {

// A block prepared as GetFileVersionInfo hands it out.
std::vector<std::uint8_t> Prepared(const std::vector<std::uint8_t>& Resource) {
    const TByteSpan Span(Resource.data(), Resource.size());
    std::vector<std::uint8_t> Block(PreparedVersionBlockSize(Span));
    EXPECT_FALSE(Block.empty());
    EXPECT_TRUE(PrepareVersionBlock(Span, Block.data(), static_cast<std::uint32_t>(Block.size())));
    return Block;
}

// The text at a query's answer, checked to lie inside the block.
std::optional<std::string> Text(std::vector<std::uint8_t>& Block, const char* Path) {
    void* Value = nullptr;
    std::uint32_t Length = 0;
    if (!QueryVersionBlock(Block.data(), Path, Value, Length))
        return std::nullopt;
    const auto* Begin = static_cast<const std::uint8_t*>(Value);
    EXPECT_GE(Begin, Block.data());
    EXPECT_LE(Begin + Length + 1, Block.data() + Block.size());
    EXPECT_EQ(Begin[Length], 0);
    return std::string(reinterpret_cast<const char*>(Begin), Length);
}

TVersionBlockContent Package() {
    TVersionBlockContent Content;
    Content.FileVersionMS = 0x00050002;
    Content.FileVersionLS = 0x000F0000;
    Content.Strings = {{"CompanyName", "Zoë Müller <zoe@example.org>"},
                       {"FileDescription", "Schneemann ☃ und 😀"},
                       {"FileVersion", "5.2.15-2"},
                       {"ProductName", ""}};
    return Content;
}

TEST(VersionBlockTest, PathsMatchAsWindowsMatchesThem) {
    auto Block = Prepared(BuildVersionBlock(Package()));
    EXPECT_EQ(Text(Block, "\\StringFileInfo\\000004B0\\CompanyName"), "Zoë Müller <zoe@example.org>");
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\CompanyName"), "Zoë Müller <zoe@example.org>");
    EXPECT_EQ(Text(Block, "stringfileinfo\\000004b0\\COMPANYNAME"), "Zoë Müller <zoe@example.org>");
    EXPECT_EQ(Text(Block, "\\\\StringFileInfo\\000004B0\\\\FileVersion\\"), "5.2.15-2");
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\FileDescription"), "Schneemann ☃ und 😀");
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\ProductName"), "");
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\Comments"), std::nullopt);
    EXPECT_EQ(Text(Block, "StringFileInfo\\040704E4\\CompanyName"), std::nullopt);
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\CompanyNam"), std::nullopt);
    std::string Deep;
    for (int I = 0; I < 40; ++I)
        Deep += "\\StringFileInfo";
    EXPECT_EQ(Text(Block, Deep.c_str()), std::nullopt);
}

TEST(VersionBlockTest, FixedRecordAndTranslationAreBinary) {
    auto Block = Prepared(BuildVersionBlock(Package()));
    void* Value = nullptr;
    std::uint32_t Length = 0;
    ASSERT_TRUE(QueryVersionBlock(Block.data(), "\\", Value, Length));
    ASSERT_EQ(Length, 52u);
    std::uint32_t Words[13];
    std::memcpy(Words, Value, sizeof Words);
    EXPECT_EQ(Words[0], 0xFEEF04BDu);
    EXPECT_EQ(Words[2], 0x00050002u);
    EXPECT_EQ(Words[3], 0x000F0000u);
    ASSERT_TRUE(QueryVersionBlock(Block.data(), "VarFileInfo\\Translation", Value, Length));
    ASSERT_EQ(Length, 4u);
    std::uint32_t Translation = 0;
    std::memcpy(&Translation, Value, 4);
    EXPECT_EQ(Translation, 0x04B00000u);
}

TEST(VersionBlockTest, TextCopiesDoNotOverlap) {
    pewriter::TVersionRecipe Recipe;
    Recipe.AddTranslation(0x0407, 0x04E4);
    // Adjacent short values of multi-byte characters: the densest case for
    // the copies.
    Recipe.Tables.push_back({"040704E4", {{"A", "€€€"}, {"B", "☃"}, {"C", "😀😀"}, {"D", "x"}}});
    auto Block = Prepared(Recipe.Build());
    void* Values[4];
    std::uint32_t Lengths[4];
    const char* Keys[] = {"StringFileInfo\\040704E4\\A", "StringFileInfo\\040704E4\\B", "StringFileInfo\\040704E4\\C",
                          "StringFileInfo\\040704E4\\D"};
    for (int I = 0; I < 4; ++I)
        ASSERT_TRUE(QueryVersionBlock(Block.data(), Keys[I], Values[I], Lengths[I]));
    EXPECT_STREQ(static_cast<const char*>(Values[0]), "€€€");
    EXPECT_STREQ(static_cast<const char*>(Values[1]), "☃");
    EXPECT_STREQ(static_cast<const char*>(Values[2]), "😀😀");
    EXPECT_STREQ(static_cast<const char*>(Values[3]), "x");
    EXPECT_EQ(Lengths[2], 8u);
}

TEST(VersionBlockTest, PreparingRefusesBadInput) {
    const auto Resource = BuildVersionBlock(Package());
    const TByteSpan Span(Resource.data(), Resource.size());
    std::vector<std::uint8_t> Small(PreparedVersionBlockSize(Span) - 1);
    EXPECT_FALSE(PrepareVersionBlock(Span, Small.data(), static_cast<std::uint32_t>(Small.size())));
    EXPECT_EQ(PreparedVersionBlockSize(TByteSpan(Resource.data(), 1)), 0u);
    std::vector<std::uint8_t> Tiny = Resource;
    Tiny[0] = 5, Tiny[1] = 0;  // a root shorter than a node header
    EXPECT_EQ(PreparedVersionBlockSize(TByteSpan(Tiny.data(), Tiny.size())), 0u);
}

// A resource shorter than its root's wLength is taken as Windows takes it:
// the missing end reads as zeros, and the values before it stay readable.
TEST(VersionBlockTest, ARootLongerThanTheResourceReadsZerosBehindIt) {
    const auto Resource = BuildVersionBlock(Package());
    const TByteSpan Cut(Resource.data(), Resource.size() - 8);  // the translation's value is gone
    std::vector<std::uint8_t> Block(PreparedVersionBlockSize(Cut), 0xEE);
    ASSERT_TRUE(PrepareVersionBlock(Cut, Block.data(), static_cast<std::uint32_t>(Block.size())));
    EXPECT_EQ(Text(Block, "StringFileInfo\\000004B0\\CompanyName"), "Zoë Müller <zoe@example.org>");
    void* Value = nullptr;
    std::uint32_t Length = 0;
    ASSERT_TRUE(QueryVersionBlock(Block.data(), "VarFileInfo\\Translation", Value, Length));
    ASSERT_EQ(Length, 4u);
    EXPECT_EQ(std::memcmp(Value, "\0\0\0\0", 4), 0);
}

// Values whose lengths claim more than the block holds are cut at the root's
// end, and a text that does not fit the room as a whole reads as empty.
TEST(VersionBlockTest, ValueLengthsBeyondTheRootStayInsideTheBlock) {
    auto Resource = BuildVersionBlock(Package());
    // The translation node (36 bytes) closes the block: claim 64 KiB for its value.
    Resource[Resource.size() - 36 + 2] = 0xFF;
    Resource[Resource.size() - 36 + 3] = 0xFF;
    auto Block = Prepared(Resource);
    void* Value = nullptr;
    std::uint32_t Length = 0;
    ASSERT_TRUE(QueryVersionBlock(Block.data(), "VarFileInfo\\Translation", Value, Length));
    EXPECT_EQ(Length, 4u);
    EXPECT_EQ(static_cast<std::uint8_t*>(Value) + Length, Block.data() + Resource.size());
}

TEST(VersionBlockTest, LongPackageTextsStayWithinOneNode) {
    TVersionBlockContent Content;
    for (int I = 0; I < 40; ++I)
        Content.Strings.push_back({"Key" + std::to_string(I), std::string(5000, 'a' + I % 26)});
    const auto Resource = BuildVersionBlock(Content);
    ASSERT_LE(Resource.size(), 0xFFFFu);
    auto Block = Prepared(Resource);
    const auto First = Text(Block, "StringFileInfo\\000004B0\\Key0");
    ASSERT_TRUE(First);
    EXPECT_EQ(*First, std::string(1024, 'a'));
    void* Value = nullptr;
    std::uint32_t Length = 0;
    EXPECT_TRUE(QueryVersionBlock(Block.data(), "VarFileInfo\\Translation", Value, Length));
}

TEST(VersionBlockTest, Utf16Conversions) {
    const std::uint8_t Lone[] = {0x41, 0, 0x00, 0xD8, 0x42, 0};  // A, lone high surrogate, B
    EXPECT_EQ(Utf16LeToUtf8(TByteSpan(Lone, sizeof Lone)), "A\xEF\xBF\xBD" "B");
    const std::uint8_t Stop[] = {0x41, 0, 0, 0, 0x42, 0};
    EXPECT_EQ(Utf16LeToUtf8(TByteSpan(Stop, sizeof Stop)), "A");
    const std::uint8_t Odd[] = {0x41, 0, 0x42};
    EXPECT_EQ(Utf16LeToUtf8(TByteSpan(Odd, sizeof Odd)), "A");

    std::vector<std::uint8_t> Units;
    AppendUtf16Le(Units, "a\xC3\x28\xF0\x9F\x98\x80\xE2\x82");  // a, bad pair, U+1F600, cut sequence
    const std::vector<std::uint8_t> Expected = {0x61, 0, 0xFD, 0xFF, 0x28, 0, 0x3D, 0xD8, 0x00, 0xDE, 0xFD, 0xFF};
    EXPECT_EQ(Units, Expected);
}

TEST(VersionBlockTest, VersionNumbersOfPackageVersions) {
    std::uint32_t MS = 1, LS = 1;
    VersionNumbersFromText("5.2.15-2+b2", MS, LS);
    EXPECT_EQ(MS, 0x00050002u);
    EXPECT_EQ(LS, 0x000F0000u);
    VersionNumbersFromText("1:2.36-9+deb12u4", MS, LS);
    EXPECT_EQ(MS, 0x00020024u);
    EXPECT_EQ(LS, 0u);
    VersionNumbersFromText("1.2.0.0", MS, LS);
    EXPECT_EQ(MS, 0x00010002u);
    VersionNumbersFromText("99999999.1", MS, LS);
    EXPECT_EQ(MS, 0xFFFF0001u);
    VersionNumbersFromText("unknown", MS, LS);
    EXPECT_EQ(MS, 0u);
    EXPECT_EQ(LS, 0u);
}

}  // namespace
}  // namespace quorvane
