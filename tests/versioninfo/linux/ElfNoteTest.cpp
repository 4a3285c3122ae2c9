// Package notes of ELF files: found in segments and sections, in both classes
// and byte orders, skipped when damaged; and the running test program's own
// note, which the build embeds as in our programs.
#include <functional>

#include <gtest/gtest.h>

#include "ElfWriter.h"
#include "TestFiles.h"
#include "versioninfo/StConst.h"
#include "versioninfo/linux/ElfPackageNote.h"
#include "versioninfo/pe/PeWriter.h"

namespace quorvane {
namespace {

using namespace testing;

const std::string kJson = R"({"type":"deb","name":"werkzeug","version":"2.4.1-3","maintainer":"Anna Beispiel <anna@example.org>","description":"Ein Werkzeug\nmit Erklärung"})";

TElfNoteResult Read(const std::vector<std::uint8_t>& Bytes, std::string& Json) {
    return ReadElfPackageNote(MemoryReader(Bytes), Bytes.size(), Json);
}

TEST(ElfNoteTest, FindsTheNoteInEveryLayout) {
    struct TCase {
        const char* Name;
        TElfRecipe Recipe;
    };
    const TCase Cases[] = {
        {"64-bit little-endian segment", {true, false, true, 4}},
        {"64-bit little-endian section only", {true, false, false, 4}},
        {"32-bit big-endian segment", {false, true, true, 4}},
        {"32-bit little-endian section only", {false, false, false, 4}},
        {"64-bit segment aligned to 8", {true, false, true, 8}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Notes;
        AddNote(Notes, Case.Recipe, "GNU", 5, TBytes(12, 0xAB));  // another note first
        AddNote(Notes, Case.Recipe, "FDO", 0xcafe1a7e, TBytes(kJson.begin(), kJson.end()), true);
        std::string Json;
        EXPECT_EQ(Read(BuildElf(Case.Recipe, Notes), Json), TElfNoteResult::Found);
        EXPECT_EQ(Json, kJson);
    }
}

TEST(ElfNoteTest, DamagedOrMissingNotesAreNoNote) {
    const TElfRecipe Recipe{true, false, true, 4};
    TBytes Other;
    AddNote(Other, Recipe, "FDO", 0x1234, TBytes(kJson.begin(), kJson.end()));  // wrong type
    AddNote(Other, Recipe, "XYZ", 0xcafe1a7e, TBytes(kJson.begin(), kJson.end()));  // wrong owner
    std::string Json;
    EXPECT_EQ(Read(BuildElf(Recipe, Other), Json), TElfNoteResult::NoNote);

    TBytes Good;
    AddNote(Good, Recipe, "FDO", 0xcafe1a7e, TBytes(kJson.begin(), kJson.end()), true);
    const TBytes Valid = BuildElf(Recipe, Good);
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
    };
    const TCase Cases[] = {
        {"descriptor size past the region", [](TBytes& F) { pewriter::Put32(F, kNoteOffset + 4, 0xFFFFFFF0u); }},
        {"name size past the region", [](TBytes& F) { pewriter::Put32(F, kNoteOffset, 0x7FFFFFFFu); }},
        {"segment past the end", [](TBytes& F) { pewriter::Put64(F, 64 + 8, 0xFFFFFFFFFFFF0000ull); }},
        {"segment of 4 GiB", [](TBytes& F) { pewriter::Put64(F, 64 + 32, 0xFFFFFFFFull); }},
        {"65535 program headers", [](TBytes& F) { pewriter::Put16(F, 56, 0xFFFF); }},
        {"program headers past the end", [](TBytes& F) { pewriter::Put64(F, 32, 0x7FFFFFFFFFFFFFFFull); }},
        {"cut in the header", [](TBytes& F) { F.resize(40); }},
        {"cut in the note", [](TBytes& F) { F.resize(kNoteOffset + 20); }},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Damaged = Valid;
        Case.Damage(Damaged);
        EXPECT_EQ(Read(Damaged, Json), TElfNoteResult::NoNote);
    }
    EXPECT_EQ(Read(TBytes{0x7F, 'E', 'L'}, Json), TElfNoteResult::NotElf);
    EXPECT_EQ(Read(TBytes{'#', '!', '/', 'b'}, Json), TElfNoteResult::NotElf);
}

TEST(ElfNoteTest, TheReaderTakesItsValuesFromTheNote) {
    TTempDir Dir;
    const TElfRecipe Recipe{true, false, true, 4};
    auto Write = [&](const std::string& Name, const std::string& Json) {
        TBytes Notes;
        if (!Json.empty())
            AddNote(Notes, Recipe, "FDO", 0xcafe1a7e, TBytes(Json.begin(), Json.end()), true);
        WriteFile(Dir / Name, BuildElf(Recipe, Notes));
        return Dir / Name;
    };
    auto Api = TestApi();

    const auto Out = ReadWithReader(*Api, Write("werkzeug", kJson));
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.CompanyName, "Anna Beispiel <anna@example.org>");
    EXPECT_EQ(Out.FileDescription, "Ein Werkzeug");
    EXPECT_EQ(Out.FileVersion, "2.4.1-3");
    EXPECT_EQ(Out.ProductVersion, "2.4.1-3");
    EXPECT_EQ(Out.ProductName, "werkzeug");
    EXPECT_EQ(Out.InternalName, "werkzeug");
    EXPECT_EQ(Out.TranslationValue, 0x04B00000u);
    EXPECT_EQ(Out.FileVersionMS, 0x00020004u);
    EXPECT_EQ(Out.FileVersionLS, 0x00010000u);

    const auto Packager = ReadWithReader(*Api, Write("p", R"({"name":"p","packager":"Paul","version":7})"));
    ASSERT_TRUE(Packager.Ok);
    EXPECT_EQ(Packager.CompanyName, "Paul");
    EXPECT_EQ(Packager.FileVersion, "");  // not a string

    for (const char* Bad : {"", "not json", "[1,2]", "{\"name\":"}) {
        SCOPED_TRACE(Bad);
        const auto Failed = ReadWithReader(*Api, Write("bad", Bad));
        EXPECT_FALSE(Failed.Ok);
        EXPECT_EQ(Failed.ErrorCode, stscNoVerInfo);  // an ELF file without version data: 1813
    }
}

TEST(ElfNoteTest, TheRunningProgramReportsItsOwnNote) {
    auto Api = TestApi();
    const auto Out = ReadWithReader(*Api, "");
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.CompanyName, "Quorvane Software");
    EXPECT_EQ(Out.FileDescription, "Quorvane Prozess-Analyse");
    EXPECT_EQ(Out.FileVersion, "1.2.0.0");
    EXPECT_EQ(Out.ProductName, "versioninfo_linux_tests");
    EXPECT_EQ(Out.FileVersionMS, 0x00010002u);
    EXPECT_EQ(Out.FileVersionLS, 0u);
}

}  // namespace
}  // namespace quorvane
