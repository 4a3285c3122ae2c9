// The version resource of PE files, read by the Linux back-end and driven
// through the full version reader; fixtures come from the tests' PE writer.
#include <glob.h>

#include <cstdio>
#include <functional>

#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "versioninfo/StConst.h"
#include "versioninfo/linux/ByteSpan.h"
#include "versioninfo/linux/PeVersionResource.h"
#include "versioninfo/pe/CraftedFiles.h"
#include "versioninfo/pe/PeWriter.h"

namespace quorvane {
namespace {

using namespace pewriter;
using testing::MemoryReader;
using testing::ReadWithReader;
using testing::TestApi;
using testing::TTempDir;
using testing::WriteFile;
using testing::WriteText;

class PeReaderTest : public ::testing::TestWithParam<bool> {
protected:
    std::string Write(const std::string& Name, const TPeRecipe& Recipe) {
        const std::string Path = Dir / Name;
        WriteFile(Path, BuildPe(Recipe).Bytes);
        return Path;
    }
    TPeRecipe Recipe() const {
        TPeRecipe S;
        S.Pe32Plus = GetParam();
        return S;
    }

    TTempDir Dir;
    std::unique_ptr<IVersionApi> Api = TestApi();
};

TEST_P(PeReaderTest, ReadsTheStringsOfTheFirstTranslation) {
    const auto Out = ReadWithReader(*Api, Write("sample.exe", Recipe().Version(SampleVersion().Build())));
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.CompanyName, "Müller Software GmbH");
    EXPECT_EQ(Out.FileDescription, "Prüfprogramm");
    EXPECT_EQ(Out.FileVersion, "1.2.3.4");
    EXPECT_EQ(Out.ProductName, "Prüfer");
    EXPECT_EQ(Out.TranslationCount, 1);
    EXPECT_EQ(Out.TranslationValue, 0x04E40407u);
    EXPECT_EQ(Out.FileVersionMS, 0x00010002u);
    EXPECT_EQ(Out.FileVersionLS, 0x00030004u);
    EXPECT_FALSE(Out.LanguageName.empty());
}

TEST_P(PeReaderTest, TwoTranslationsUseOnlyTheFirst) {
    TVersionRecipe Version = SampleVersion();
    Version.AddTranslation(0x0409, 0x04B0);
    Version.Tables.insert(Version.Tables.begin(), {"040904B0", {{"CompanyName", "English Company"}}});
    const auto Out = ReadWithReader(*Api, Write("two.exe", Recipe().Version(Version.Build())));
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.TranslationCount, 2);
    EXPECT_EQ(Out.TranslationValue, 0x04E40407u);
    EXPECT_EQ(Out.CompanyName, "Müller Software GmbH");
}

TEST_P(PeReaderTest, AMissingStringTableGivesEmptyStrings) {
    TVersionRecipe Version = SampleVersion();
    Version.Translation.reset();
    Version.AddTranslation(0x0409, 0x04B0);  // the only table is 040704E4
    const auto Out = ReadWithReader(*Api, Write("notable.exe", Recipe().Version(Version.Build())));
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.CompanyName, "");
    EXPECT_EQ(Out.FileDescription, "");
    EXPECT_EQ(Out.FileVersion, "");
    EXPECT_EQ(Out.FileVersionMS, 0x00010002u);
}

TEST_P(PeReaderTest, AKeyWithAnEmptyValueReadsAsEmpty) {
    TVersionRecipe Version;
    Version.AddTranslation(0x0407, 0x04E4);
    Version.Tables.push_back({"040704E4", {{"CompanyName", ""}, {"FileDescription", "Beschreibung"}}});
    const std::string Path = Write("empty.exe", Recipe().Version(Version.Build()));
    const auto Out = ReadWithReader(*Api, Path);
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.CompanyName, "");
    EXPECT_EQ(Out.FileDescription, "Beschreibung");

    std::uint32_t Handle = 0, Error = 0;
    const std::uint32_t Size = Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error);
    std::vector<std::uint8_t> Block(Size);
    ASSERT_TRUE(Api->GetFileVersionInfo(Path.c_str(), Handle, Size, Block.data()));
    void* Value = nullptr;
    std::uint32_t Length = 99;
    ASSERT_TRUE(Api->VerQueryValue(Block.data(), "StringFileInfo\\040704E4\\CompanyName", Value, Length));
    EXPECT_EQ(Length, 0u);
}

TEST_P(PeReaderTest, FileDates) {
    TVersionRecipe Version = SampleVersion();
    Version.Fixed->FileDateMS = 0x80000000u;  // refused by the calendar conversion
    const auto TopBit = ReadWithReader(*Api, Write("topbit.exe", Recipe().Version(Version.Build())));
    EXPECT_FALSE(TopBit.Ok);
    EXPECT_EQ(TopBit.ErrorCode, -1);  // the date conversion failure, not EStVersionInfoError

    Version.Fixed->FileDateMS = 0x01D00000u;
    EXPECT_TRUE(ReadWithReader(*Api, Write("dated.exe", Recipe().Version(Version.Build()))).Ok);
}

TEST_P(PeReaderTest, ATranslationShorterThanOneEntryIsNeverReadPast) {
    TVersionRecipe Version = SampleVersion();
    Version.Translation = TBytes{0x07, 0x04};
    const std::string Path = Write("short.exe", Recipe().Version(Version.Build()));
    const auto Out = ReadWithReader(*Api, Path);
    ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
    EXPECT_EQ(Out.TranslationCount, 0);
    EXPECT_EQ(Out.TranslationValue, 0u);
    EXPECT_EQ(Out.CompanyName, "");  // table 00000000 does not exist

    std::uint32_t Handle = 0, Error = 0;
    const std::uint32_t Size = Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error);
    std::vector<std::uint8_t> Block(Size);
    ASSERT_TRUE(Api->GetFileVersionInfo(Path.c_str(), Handle, Size, Block.data()));
    void* Value = nullptr;
    std::uint32_t Length = 0;
    ASSERT_TRUE(Api->VerQueryValue(Block.data(), "\\VarFileInfo\\Translation", Value, Length));
    EXPECT_EQ(Length, 2u);
}

TEST_P(PeReaderTest, FilesWithoutVersionDataFailAsWindowsDoes) {
    struct TCase {
        const char* Name;
        std::function<std::string()> Make;
        std::uint32_t SizeError;
        std::int32_t ReaderCode;
    };
    const TCase Cases[] = {
        {"no resource section", [&] { TPeRecipe S = Recipe(); S.ResourceSection = false; return Write("nores.exe", S); },
         kErrorResourceDataNotFound, stscVerInfoFail},
        {"resources without version", [&] { return Write("manifest.exe", Recipe().Manifest()); },
         kErrorResourceTypeNotFound, stscNoVerInfo},
        {"no image at all", [&] { WriteText(Dir / "text.txt", "MZ is not enough\n"); return Dir / "text.txt"; },
         kErrorResourceDataNotFound, stscVerInfoFail},
        {"plain text", [&] { WriteText(Dir / "plain.txt", "hello\n"); return Dir / "plain.txt"; },
         kErrorResourceDataNotFound, stscVerInfoFail},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const std::string Path = Case.Make();
        std::uint32_t Handle = 0, Error = 0;
        EXPECT_EQ(Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error), 0u);
        EXPECT_EQ(Error, Case.SizeError);
        const auto Out = ReadWithReader(*Api, Path);
        EXPECT_FALSE(Out.Ok);
        EXPECT_EQ(Out.ErrorCode, Case.ReaderCode);
    }
}

// Offset of the node whose key is Key (UTF-16) inside Bytes.
std::size_t NodeOffset(const TBytes& Bytes, const std::string& Key) {
    TBytes Pattern;
    AddUtf16(Pattern, Key);
    auto Found = std::search(Bytes.begin(), Bytes.end(), Pattern.begin(), Pattern.end());
    EXPECT_NE(Found, Bytes.end()) << Key;
    return static_cast<std::size_t>(Found - Bytes.begin()) - 6;
}

TEST_P(PeReaderTest, TruncatedAndCorruptedFilesFailCleanly) {
    TPeRecipe Full = Recipe().Version(SampleVersion().Build()).Icons({TBytes(40, 1)});
    const TPeFileImage Valid = BuildPe(Full);
    const TPeLayout& L = Valid.Layout;
    using TDamage = std::function<void(TBytes&)>;
    auto Cut = [](std::size_t Size) { return [Size](TBytes& F) { F.resize(Size); }; };
    auto Set16 = [](std::size_t At, std::uint16_t V) { return [At, V](TBytes& F) { Put16(F, At, V); }; };
    auto Set32 = [](std::size_t At, std::uint32_t V) { return [At, V](TBytes& F) { Put32(F, At, V); }; };
    const std::size_t VarInfo = NodeOffset(Valid.Bytes, "VarFileInfo");
    const std::size_t FirstChild = NodeOffset(Valid.Bytes, "StringFileInfo");
    struct TCase {
        const char* Name;
        TDamage Damage;
        std::uint32_t SizeError;  // 0: the size succeeds, a query fails
        bool InsideBlock = false;  // the PE layer hands the block on; its checks find the damage
    };
    const TCase Cases[] = {
        {"empty file", Cut(0), kErrorResourceDataNotFound},
        {"cut in the DOS header", Cut(0x30), kErrorResourceDataNotFound},
        {"cut in the PE header", Cut(L.NtHeader + 10), kErrorResourceDataNotFound},
        {"cut in the optional header", Cut(L.OptionalHeader + 50), kErrorResourceDataNotFound},
        {"cut in the section table", Cut(L.SectionTable + 20), kErrorResourceDataNotFound},
        {"cut in the resource root", Cut(L.ResourceRoot + 8), kErrorResourceDataNotFound},
        {"cut in the version data", Cut(L.VersionData + L.VersionSize / 2), kErrorResourceDataNotFound},
        {"PE header offset past the end", Set32(0x3C, 0xFFFFFFF0u), kErrorResourceDataNotFound},
        {"PE header offset at the last bytes", Set32(0x3C, static_cast<std::uint32_t>(Valid.Bytes.size() - 2)),
         kErrorResourceDataNotFound},
        {"no PE signature", Set16(L.NtHeader, 0x4E45), kErrorResourceDataNotFound},
        {"unknown optional header", Set16(L.OptionalHeader, 0x0999), kErrorResourceDataNotFound},
        {"directory count without resources", Set32(L.DirectoryCount, 2), kErrorResourceDataNotFound},
        {"no sections", Set16(L.NtHeader + 6, 0), kErrorResourceDataNotFound},
        {"65535 sections", Set16(L.NtHeader + 6, 0xFFFF), kErrorResourceDataNotFound},
        {"optional header of 65535 bytes", Set16(L.NtHeader + 20, 0xFFFF), kErrorResourceDataNotFound},
        {"resource RVA in no section", Set32(L.ResourceDirectory, 0x7FFFFFF0u), kErrorResourceDataNotFound},
        {"section raw offset past the end", Set32(L.SectionTable + 20, 0xFFFFF000u), kErrorResourceDataNotFound},
        {"huge entry counts", [&](TBytes& F) { Put16(F, L.ResourceRoot + 12, 0xFFFF); Put16(F, L.ResourceRoot + 14, 0xFFFF); },
         kErrorResourceDataNotFound},
        {"type entry looping to the root", Set32(L.VersionTypeEntry + 4, 0x80000000u), kErrorResourceNameNotFound},
        {"language entry looping to the root", Set32(L.VersionLanguageEntry + 4, 0x80000000u),
         kErrorResourceDataNotFound},
        {"data outside every section", Set32(L.VersionDataEntry, 0xFFFFFF00u), kErrorResourceDataNotFound},
        {"data size of 4 GiB", Set32(L.VersionDataEntry + 4, 0xFFFFFFFFu), kErrorResourceDataNotFound},
        {"data size 0", Set32(L.VersionDataEntry + 4, 0), kErrorResourceDataNotFound},
        {"root node shorter than its header", Set16(L.VersionData, 4), kErrorResourceDataNotFound, true},
        {"root key without end", [&](TBytes& F) { std::fill(F.begin() + static_cast<std::ptrdiff_t>(L.VersionData + 6),
                                                             F.begin() + static_cast<std::ptrdiff_t>(L.VersionData + L.VersionSize), 0x41); },
         0, true},
        {"first child of length 0", Set16(FirstChild, 0), 0, true},
        {"child longer than its parent", Set16(VarInfo, 10), 0, true},
        {"fixed record longer than the root", Set16(L.VersionData + 2, 0xFFFF), 0, true},
    };
    TTempDir Files;
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Damaged = Valid.Bytes;
        Case.Damage(Damaged);
        const TPeVersionResource Direct = ReadPeVersionResource(MemoryReader(Damaged), Damaged.size());
        EXPECT_EQ(Direct.Error, Case.InsideBlock ? 0u : Case.SizeError);
        ReadPeIconFile(MemoryReader(Damaged), Damaged.size());  // must stay inside the bytes too

        const std::string Path = Files / "damaged.exe";
        WriteFile(Path, Damaged);
        std::uint32_t Handle = 0, Error = 0;
        const std::uint32_t Size = Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error);
        EXPECT_EQ(Size == 0 ? Error : 0u, Case.SizeError);
        const auto Out = ReadWithReader(*Api, Path);
        EXPECT_FALSE(Out.Ok);
        EXPECT_EQ(Out.ErrorCode, stscVerInfoFail);
    }
}

// Each crafted file reads as Windows reads it (the Windows tests compare the
// same files with the version API).
TEST_P(PeReaderTest, CraftedVersionResourcesReadAsWindowsReadsThem) {
    for (const TCraftedFile& File : CraftedVersionFiles(GetParam())) {
        SCOPED_TRACE(File.Name);
        const std::string Path = Dir / File.Name;
        WriteFile(Path, File.Bytes);
        const auto Out = ReadWithReader(*Api, Path);
        EXPECT_EQ(Out.Ok ? 0 : Out.ErrorCode, File.ReaderCode);
        if (Out.Ok) {
            EXPECT_EQ(Out.CompanyName, File.CompanyName);
            EXPECT_EQ(Out.FileDescription, File.FileDescription);
        }
    }
    // Version resources without id 1 fail as a missing name does on Windows.
    std::uint32_t Handle = 0, Error = 0;
    EXPECT_EQ(Api->GetFileVersionInfoSize((Dir / "version-id-2.exe").c_str(), Handle, Error), 0u);
    EXPECT_EQ(Error, kErrorResourceNameNotFound);
}

// The largest icon group: every directory is read once, so the bytes read stay
// in proportion to the file instead of growing with entries times entries.
TEST_P(PeReaderTest, LargestIconGroupIsReadInOnePass) {
    const TBytes File = LargestIconGroupFile();
    std::uint64_t BytesRead = 0;
    const TReadAt Inner = MemoryReader(File);
    const TReadAt Counting = [&](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        BytesRead += Count;
        return Inner(Offset, Buffer, Count);
    };
    const TBytes Ico = ReadPeIconFile(Counting, File.size());
    ASSERT_EQ(Ico.size(), 6u + 0xFFFFu * (16 + 4));
    EXPECT_EQ(Ico[4] | (Ico[5] << 8), 0xFFFF);
    EXPECT_EQ(Ico.back(), 4);
    EXPECT_LT(BytesRead, 2 * File.size());
}

TEST_P(PeReaderTest, ReadsOnlyTheBytesItNeeds) {
    TPeFileImage Image = BuildPe(Recipe().Version(SampleVersion().Build()));
    Image.Bytes.resize(Image.Bytes.size() + (8u << 20), 0xEE);  // 8 MiB that nobody needs
    std::uint64_t BytesRead = 0;
    const TReadAt Inner = MemoryReader(Image.Bytes);
    const TReadAt Counting = [&](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        BytesRead += Count;
        return Inner(Offset, Buffer, Count);
    };
    const TPeVersionResource Result = ReadPeVersionResource(Counting, Image.Bytes.size());
    ASSERT_EQ(Result.Error, 0u);
    EXPECT_EQ(Result.Data.size(), Image.Layout.VersionSize);
    EXPECT_LT(BytesRead, 2048u);
}

TEST_P(PeReaderTest, IconGroupBecomesAnIcoFile) {
    const TBytes Small(40, 0x11), Large(100, 0x22);
    const TPeFileImage Image = BuildPe(Recipe().Version(SampleVersion().Build()).Icons({Small, Large}));
    const TBytes Ico = ReadPeIconFile(MemoryReader(Image.Bytes), Image.Bytes.size());
    ASSERT_EQ(Ico.size(), 6u + 2 * 16 + Small.size() + Large.size());
    const TByteSpan Span(Ico.data(), Ico.size());
    std::uint16_t Type = 0, Count = 0;
    std::uint32_t Size1 = 0, Offset1 = 0, Size2 = 0, Offset2 = 0;
    Span.ReadU16(2, Type);
    Span.ReadU16(4, Count);
    Span.ReadU32(6 + 8, Size1);
    Span.ReadU32(6 + 12, Offset1);
    Span.ReadU32(22 + 8, Size2);
    Span.ReadU32(22 + 12, Offset2);
    EXPECT_EQ(Type, 1);
    EXPECT_EQ(Count, 2);
    EXPECT_EQ(Ico[6], 16);  // width of the first image
    EXPECT_EQ(Ico[22], 32);
    EXPECT_EQ(Size1, Small.size());
    EXPECT_EQ(Size2, Large.size());
    EXPECT_EQ(Ico[Offset1], 0x11);
    EXPECT_EQ(Ico[Offset2 + Size2 - 1], 0x22);

    const TPeFileImage NoIcon = BuildPe(Recipe().Version(SampleVersion().Build()));
    EXPECT_TRUE(ReadPeIconFile(MemoryReader(NoIcon.Bytes), NoIcon.Bytes.size()).empty());
}

TEST_P(PeReaderTest, IconGroupNamingMissingImagesKeepsTheOthers) {
    TPeRecipe S = Recipe().Icons({TBytes(40, 0x11), TBytes(50, 0x22)});
    S.Resources.erase(S.Resources.begin());  // RT_ICON 1 is gone
    const TPeFileImage Image = BuildPe(S);
    const TBytes Ico = ReadPeIconFile(MemoryReader(Image.Bytes), Image.Bytes.size());
    ASSERT_EQ(Ico.size(), 6u + 16 + 50);
    EXPECT_EQ(Ico[4], 1);
    EXPECT_EQ(Ico.back(), 0x22);
}

// Several languages of the version resource: chosen as the Windows loader
// chooses (neutral, the user's language or its primary language, English),
// not simply the first.
TEST_P(PeReaderTest, TheLanguageOfTheResourceIsChosenAsWindowsChoosesIt) {
    auto Block = [](std::uint16_t Language, const char* Company) {
        TVersionRecipe Version;
        Version.AddTranslation(Language, 0x04B0);
        char Key[9];
        std::snprintf(Key, sizeof Key, "%04X04B0", Language);
        Version.Tables.push_back({Key, {{"CompanyName", Company}}});
        return Version.Build();
    };
    const TPeFileImage Image = BuildPe(Recipe()
                                           .Version(Block(0x0401, "Arabic"), 0x0401)
                                           .Version(Block(0x0007, "German"), 0x0007)
                                           .Version(Block(0x0409, "English"), 0x0409));
    auto Chosen = [&](const TLanguagePreference& Languages) {
        const TPeVersionResource Result = ReadPeVersionResource(MemoryReader(Image.Bytes), Image.Bytes.size(), Languages);
        EXPECT_EQ(Result.Error, 0u);
        std::vector<std::uint8_t> Raw = Result.Data;
        std::uint16_t Language = 0;
        TByteSpan(Raw.data(), Raw.size()).ReadU16(Raw.size() - 4, Language);  // the translation closes the block
        return Language;
    };
    EXPECT_EQ(Chosen({}), 0x0401);
    EXPECT_EQ(Chosen(WindowsLanguagePreference(0x0407)), 0x0007);  // German by its primary language
    EXPECT_EQ(Chosen(WindowsLanguagePreference(0x0411)), 0x0409);
    EXPECT_EQ(Chosen(WindowsLanguagePreference(0)), 0x0409);
    EXPECT_EQ(Chosen({0x0C0C}), 0x0401);  // nothing fits: the first

    const std::string Path = Dir / "languages.exe";
    WriteFile(Path, Image.Bytes);
    const char* Saved = std::getenv("LC_ALL");
    const std::optional<std::string> Kept = Saved ? std::optional<std::string>(Saved) : std::nullopt;
    ::setenv("LC_ALL", "de_AT", 1);
    const auto German = ReadWithReader(*Api, Path);
    ::setenv("LC_ALL", "ja_JP", 1);
    const auto Other = ReadWithReader(*Api, Path);
    if (Kept)
        ::setenv("LC_ALL", Kept->c_str(), 1);
    else
        ::unsetenv("LC_ALL");
    EXPECT_EQ(German.CompanyName, "German");
    EXPECT_EQ(Other.CompanyName, "English");
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PeReaderTest, ::testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? std::string("Pe32Plus") : std::string("Pe32"); });

// The PE files of Debian's Wine package: real-world input from another
// tool chain. Most carry a version resource with the project's strings.
TEST(PeReaderWine, WineBuiltinsCarryVersionData) {
    glob_t Found{};
    const int Result = glob("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll", 0, nullptr, &Found);
    std::vector<std::string> Paths;
    for (std::size_t I = 0; Result == 0 && I < Found.gl_pathc; ++I)
        Paths.push_back(Found.gl_pathv[I]);
    globfree(&Found);
    if (Paths.empty())
        GTEST_SKIP() << "Wine's PE files are not installed";

    // Files without any resources answer 1812, files with resources but no
    // version resource 1813; a readable block nearly always names the company.
    auto Api = TestApi();
    std::size_t Read = 0, WithCompany = 0;
    for (const std::string& Path : Paths) {
        std::uint32_t Handle = 0, Error = 0;
        if (Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error) == 0) {
            EXPECT_TRUE(Error == kErrorResourceDataNotFound || Error == kErrorResourceTypeNotFound) << Path;
            continue;
        }
        const auto Out = ReadWithReader(*Api, Path);
        ASSERT_TRUE(Out.Ok) << Path << ": " << Out.ErrorCode;
        ++Read;
        EXPECT_GE(Out.TranslationCount, 1) << Path;
        if (!Out.CompanyName.empty() && !Out.FileVersion.empty() && !Out.FileDescription.empty())
            ++WithCompany;
    }
    EXPECT_GT(Read, 100u);
    EXPECT_GT(WithCompany, Read * 9 / 10) << WithCompany << " of " << Read;
    for (const char* Name : {"kernel32.dll", "user32.dll", "ntdll.dll"}) {
        const auto Out = ReadWithReader(*Api, "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/" + std::string(Name));
        ASSERT_TRUE(Out.Ok) << Name << ": " << Out.ErrorCode;
        EXPECT_FALSE(Out.CompanyName.empty()) << Name;
        EXPECT_FALSE(Out.FileVersion.empty()) << Name;
        EXPECT_NE(Out.FileVersionMS, 0u) << Name;
    }
}

}  // namespace
}  // namespace quorvane
