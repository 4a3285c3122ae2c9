#include "versioninfo/StVInfo.h"

#include <gtest/gtest.h>

#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "versioninfo/StConst.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Sys;
using testing::TFakeVersionApi;
using testing::TFakeVersionFile;

// Expects Call to raise EStVersionInfoError with Code and the table's message.
template <typename F>
void ExpectVersionError(F&& Call, std::int32_t Code, const char* Message) {
    try {
        Call();
        ADD_FAILURE() << "no failure, expected code " << Code;
    } catch (const EStVersionInfoError& E) {
        EXPECT_EQ(E.ErrorCode(), Code);
        EXPECT_STREQ(E.what(), Message);
    }
}

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Api.Add("/opt/quorvane/quorvane", FakeFile("Quorvane Software", "Quorvane", "1.2.0.0"));
        Api.Add("/bin/a", FakeFile("Alpha", "Alpha tool", "5.1.26.21"));
        Api.Add("/bin/A", FakeFile("Upper", "", ""));
        Api.Add("/bin/b", FakeFile("Beta", "", "3.2"));
    }

    TFakeVersionApi Api;
    TStVersionInfo Reader{nullptr, Api};
};

TEST_F(VersionInfoTest, EmptyNameIsTheRunningProgram) {
    EXPECT_EQ(Reader.FileName(), "/opt/quorvane/quorvane");
    EXPECT_FALSE(Reader.InfoLoaded());
    EXPECT_EQ(Reader.CompanyName(), "Quorvane Software");
    Reader.SetFileName("/bin/a");
    Reader.SetFileName("");
    EXPECT_EQ(Reader.FileName(), "/opt/quorvane/quorvane");
    EXPECT_EQ(Reader.FileVersion(), "1.2.0.0");

    // Without a module path the name stays empty.
    TFakeVersionApi NoModule;
    NoModule.ModulePath = "";
    TStVersionInfo Orphan(nullptr, NoModule);
    EXPECT_EQ(Orphan.FileName(), "");
    // Once the owner has read its description, an empty name is set again.
    NoModule.ModulePath = "/opt/late";
    Orphan.Loaded();
    EXPECT_EQ(Orphan.FileName(), "/opt/late");
    Api.ModulePath = "/elsewhere";
    Reader.Loaded();  // a set name is left alone
    EXPECT_EQ(Reader.FileName(), "/opt/quorvane/quorvane");
}

TEST_F(VersionInfoTest, SameNameTwiceReadsNothingAgain) {
    Reader.SetFileName("/bin/a");
    EXPECT_EQ(Reader.CompanyName(), "Alpha");
    EXPECT_EQ(Reader.FileDescription(), "Alpha tool");
    EXPECT_EQ(Reader.LanguageName(), "Deutsch (Deutschland)");
    const int Loads = Api.BlockCalls;
    Reader.SetFileName("/bin/a");
    EXPECT_TRUE(Reader.InfoLoaded());
    EXPECT_EQ(Reader.FileVersion(), "5.1.26.21");
    EXPECT_EQ(Api.BlockCalls, Loads);
}

TEST_F(VersionInfoTest, ChangeOfLetterCaseIsANewName) {
    Reader.SetFileName("/bin/a");
    EXPECT_EQ(Reader.CompanyName(), "Alpha");
    Reader.SetFileName("/bin/A");
    EXPECT_FALSE(Reader.InfoLoaded());
    EXPECT_EQ(Reader.CompanyName(), "Upper");
}

TEST_F(VersionInfoTest, NameThatFailsTheExistenceTestKeepsThePreviousFile) {
    Reader.SetFileName("/bin/a");
    EXPECT_EQ(Reader.CompanyName(), "Alpha");
    Api.Directories.insert("/bin/b");
    for (const char* Name : {"/missing", "/bin/b"}) {
        ExpectVersionError([&] { Reader.SetFileName(Name); }, 73, "Error opening file");
        EXPECT_EQ(Reader.FileName(), "/bin/a");
        EXPECT_TRUE(Reader.InfoLoaded());
        EXPECT_EQ(Reader.CompanyName(), "Alpha");
    }
}

TEST_F(VersionInfoTest, LoadFailuresByCode) {
    TFakeVersionFile NoResource;
    NoResource.SizeError = kErrorResourceTypeNotFound;
    TFakeVersionFile OtherSizeError;
    OtherSizeError.SizeError = kErrorResourceDataNotFound;
    TFakeVersionFile BlockFails = FakeFile("X", "", "");
    BlockFails.BlockFails = true;
    TFakeVersionFile NoTranslation = FakeFile("X", "", "");
    NoTranslation.Values.erase("\\VarFileInfo\\Translation");
    TFakeVersionFile NoFixed = FakeFile("X", "", "");
    NoFixed.Values.erase("\\");
    Api.Add("/f/100", NoResource);
    Api.Add("/f/101size", OtherSizeError);
    Api.Add("/f/101block", BlockFails);
    Api.Add("/f/101translation", NoTranslation);
    Api.Add("/f/101fixed", NoFixed);

    const std::pair<const char*, std::int32_t> Cases[] = {
        {"/f/100", 100}, {"/f/101size", 101}, {"/f/101block", 101}, {"/f/101translation", 101}, {"/f/101fixed", 101}};
    for (const auto& [Path, Code] : Cases) {
        SCOPED_TRACE(Path);
        Reader.SetFileName("/bin/a");
        EXPECT_EQ(Reader.CompanyName(), "Alpha");
        Reader.SetFileName(Path);  // setting the name succeeds; the first read fails
        const char* Message = Code == 100 ? "File does not contain version info" : "Unable to read version info";
        ExpectVersionError([&] { (void)Reader.CompanyName(); }, Code, Message);
        EXPECT_FALSE(Reader.InfoLoaded());
        // A failed load never hands out the earlier file's values, however often asked.
        ExpectVersionError([&] { (void)Reader.FileDescription(); }, Code, Message);
        ExpectVersionError([&] { (void)Reader.LanguageName(); }, Code, Message);
    }
}

TEST_F(VersionInfoTest, OnlyTheFirstOfTwoTranslationsCounts) {
    TFakeVersionFile Two;
    Two.Translation({0x04B00409, 0x04E40407}).Fixed(0x00020000, 0);
    Two.String("040904B0", "CompanyName", "English Co.");
    Two.String("040704E4", "CompanyName", "Deutsche GmbH");
    Api.Add("/f/two", Two);
    Reader.SetFileName("/f/two");
    EXPECT_EQ(Reader.CompanyName(), "English Co.");
    EXPECT_EQ(Reader.LanguageName(), "Englisch (Vereinigte Staaten)");
    EXPECT_EQ(Reader.TranslationCount(), 2);
    EXPECT_EQ(Reader.TranslationValue(), 0x04B00409u);
    EXPECT_EQ(Reader.FileVersionMS(), 0x00020000u);
}

TEST_F(VersionInfoTest, MissingStringTableAndEmptyValuesReadAsEmpty) {
    TFakeVersionFile Missing;
    Missing.Translation({0x04E40407}).Fixed(0, 0);
    Missing.String("040904B0", "CompanyName", "elsewhere");  // not the first translation's table
    Api.Add("/f/missing", Missing);
    TFakeVersionFile Empty = FakeFile("", "", "");
    Empty.String("040704E4", "CompanyName", "");
    Api.Add("/f/empty", Empty);
    for (const char* Path : {"/f/missing", "/f/empty"}) {
        Reader.SetFileName(Path);
        EXPECT_EQ(Reader.CompanyName(), "") << Path;
        EXPECT_EQ(Reader.ProductName(), "");
        EXPECT_EQ(Reader.FileVersionFloat(), 0);
        EXPECT_TRUE(Reader.InfoLoaded());
    }
}

TEST_F(VersionInfoTest, UnknownLanguageAndShortTranslationAreNoFailures) {
    TFakeVersionFile Short = FakeFile("X", "", "");
    Short.Values["\\VarFileInfo\\Translation"] = std::string("\x07\x04", 2);
    Api.Add("/f/short", Short);
    Reader.SetFileName("/f/short");
    EXPECT_EQ(Reader.CompanyName(), "");  // the zero entry selects no table
    EXPECT_EQ(Reader.TranslationCount(), 0);
    EXPECT_EQ(Reader.TranslationValue(), 0u);
    EXPECT_EQ(Reader.LanguageName(), "");
}

TEST_F(VersionInfoTest, AllTenStringsAndTheFixedRecord) {
    TFakeVersionFile Full = FakeFile("C", "D", "4.5");
    const char* Keys[] = {"Comments", "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                          "ProductName", "ProductVersion"};
    for (const char* Key : Keys)
        Full.String("040704E4", Key, std::string(Key) + "!");
    Full.Values["\\"].resize(40);  // a short fixed record leaves the rest zero
    Api.Add("/f/full", Full);
    Reader.SetFileName("/f/full");
    EXPECT_EQ(Reader.Comments(), "Comments!");
    EXPECT_EQ(Reader.InternalName(), "InternalName!");
    EXPECT_EQ(Reader.LegalCopyright(), "LegalCopyright!");
    EXPECT_EQ(Reader.LegalTrademarks(), "LegalTrademarks!");
    EXPECT_EQ(Reader.OriginalFilename(), "OriginalFilename!");
    EXPECT_EQ(Reader.ProductName(), "ProductName!");
    EXPECT_EQ(Reader.ProductVersion(), "ProductVersion!");
    EXPECT_EQ(Reader.FileVersionFloat(), 4.5);
    EXPECT_EQ(Reader.ProductVersionFloat(), 0);
    EXPECT_EQ(Reader.FileVersionMS(), 0x00010002u);
    EXPECT_EQ(Reader.FileOS(), 4u);
    EXPECT_EQ(Reader.FileSubtype(), 0u);  // beyond the 40 bytes
    EXPECT_EQ(Reader.FileDate(), -109205.0);  // date 0 is 1601-01-01 00:00
}

TEST_F(VersionInfoTest, FileDates) {
    struct Case {
        std::uint32_t MS, LS;
        double Expected;
    };
    // 2000-01-01 12:00 UTC is day 36526.5.
    const std::uint64_t Noon2000 = 125911584000000000ULL + 432000000000ULL;
    const Case Good[] = {{0, 0, -109205.0},
                         {static_cast<std::uint32_t>(Noon2000 >> 32), static_cast<std::uint32_t>(Noon2000), 36526.5}};
    for (const Case& C : Good) {
        TFakeVersionFile File = FakeFile("C", "", "");
        File.Fixed(0, 0, C.MS, C.LS);
        Api.Add("/f/date", File);
        Reader.SetFileName("/bin/a");
        Reader.SetFileName("/f/date");
        EXPECT_DOUBLE_EQ(Reader.FileDate(), C.Expected);
    }
    // The top bit set, and a date after 9999, fail although the strings are present.
    for (std::uint32_t MS : {0x80000000u, 0x7FFFFFFFu}) {
        TFakeVersionFile File = FakeFile("C", "D", "1");
        File.Fixed(0, 0, MS, 0);
        Api.Add("/f/bad", File);
        Reader.SetFileName("/bin/a");
        Reader.SetFileName("/f/bad");
        try {
            (void)Reader.CompanyName();
            ADD_FAILURE() << "no date failure";
        } catch (const EStVersionInfoError&) {
            ADD_FAILURE() << "the date failure is no version error";
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.what(), Sys("Ungültiges Argument zum Codieren des Datums"));
        }
        EXPECT_FALSE(Reader.InfoLoaded());
    }
}

TEST(ParseVersionNumber, Examples) {
    EXPECT_DOUBLE_EQ(ParseVersionNumber("3.2"), 3.2);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("5.1.26.21"), 5.1);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("12.34.5"), 12.34);
    EXPECT_EQ(ParseVersionNumber("123.45.6"), 0);
    EXPECT_EQ(ParseVersionNumber("1.2."), 0);
    EXPECT_EQ(ParseVersionNumber("1, 0, 0, 1"), 0);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("  -2.5e1"), -25);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("7"), 7);
    EXPECT_EQ(ParseVersionNumber(""), 0);
    EXPECT_EQ(ParseVersionNumber("a.b.c"), 0);
    EXPECT_EQ(ParseVersionNumber("1.2 beta"), 0);
}

TEST(StComponent, OwnerDestroysWhatItOwns) {
    static int Destroyed = 0;
    struct TCounted : TStComponent {
        using TStComponent::TStComponent;
        ~TCounted() override { ++Destroyed; }
    };
    {
        TStComponent Owner(nullptr);
        new TCounted(&Owner);
        auto* Second = new TCounted(&Owner);
        delete Second;  // leaves the owner's list
        EXPECT_EQ(Destroyed, 1);
    }
    EXPECT_EQ(Destroyed, 2);
}

TEST(StConst, MessagesByCode) {
    EXPECT_EQ(EStVersionInfoError(73).ErrorCode(), 73);
    EXPECT_STREQ(EStVersionInfoError(100).what(), "File does not contain version info");
    EXPECT_EQ(StErrorMessage(12345), "");
}

}  // namespace
}  // namespace quorvane
