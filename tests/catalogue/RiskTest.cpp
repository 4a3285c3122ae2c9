#include "catalogue/Risk.h"

#include <gtest/gtest.h>

#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Sys;
using testing::TFakeVersionApi;
using testing::TFakeVersionFile;

TNodeData WithLevel(int Level) {
    TNodeData Data;
    Data.RiskLevel = static_cast<TRiskLevel>(Level);
    return Data;
}

TEST(RiskLookups, NamesAndColoursOfEveryLevel) {
    struct Row {
        const char* Name;
        TColor Text, Background;
    };
    const Row Rows[] = {
        {"Gefährlichkeit nicht bestimmbar", clWindowText, TColor::Rgb(255, 255, 255)},
        {"Potentiell gefährlich", TColor::Rgb(240, 0, 0), TColor::Rgb(255, 232, 232)},
        {"Mittel gefährlich", TColor::Rgb(240, 208, 0), TColor::Rgb(255, 255, 224)},
        {"Schwach gefährlich", TColor::Rgb(0, 128, 0), TColor::Rgb(232, 255, 232)},
        {"ungefährlich (Betriebssystem Kern)", clWindowText, TColor::Rgb(255, 255, 255)},
    };
    for (int Level = 0; Level <= 4; ++Level) {
        SCOPED_TRACE(Level);
        const TNodeData Data = WithLevel(Level);
        EXPECT_EQ(RiskName(Data), Sys(Rows[Level].Name));
        EXPECT_EQ(RiskColor(Data, true), Rows[Level].Text);
        EXPECT_EQ(RiskColor(Data, false), Rows[Level].Background);
    }
}

TEST(RiskLookups, LevelOutOfRangeGivesDefaultColoursAndNoName) {
    for (int Level : {5, 17, 255}) {
        const TNodeData Data = WithLevel(Level);
        EXPECT_EQ(RiskName(Data), "");
        EXPECT_EQ(RiskColor(Data, true), clWindowText);
        EXPECT_EQ(RiskColor(Data, false), TColor::Rgb(255, 255, 255));
    }
}

TEST(RiskLookups, PriorityNames) {
    const std::pair<std::uint32_t, std::string> Cases[] = {
        {0, ""},         {32, "Normal"},      {64, "Leerlauf"},    {128, "Hoch"},
        {256, "Echtzeit"}, {16384, "16384"}, {32768, "32768"}, {4294967295u, "4294967295"},
    };
    for (const auto& [Class, Text] : Cases) {
        TNodeData Data;
        Data.PriorityClass = Class;
        EXPECT_EQ(PriorityName(Data), Text) << Class;
    }
}

class ClassifyTest : public ::testing::Test {
protected:
    TNodeData Classify(const std::string& Path, const std::string& RemarkBefore = "") {
        TNodeData Data;
        Data.ImagePath = Path;
        Data.Remark = RemarkBefore;
        ClassifyByVersionInfo(Data, Reader);
        return Data;
    }

    TFakeVersionApi Api;
    TStVersionInfo Reader{nullptr, Api};
};

TEST_F(ClassifyTest, CompanyNameGivesLevel3AndKeepsTheProbesRemark) {
    Api.Add("/bin/a", FakeFile("ACME", "", ""));
    const TNodeData Data = Classify("/bin/a", "Permission denied");
    EXPECT_EQ(Data.RiskLevel, rlSlightlyDangerous);
    EXPECT_EQ(Data.CompanyName, "ACME");
    EXPECT_EQ(Data.Remark, "Permission denied");
    EXPECT_EQ(Data.LanguageName, "Deutsch (Deutschland)");
}

TEST_F(ClassifyTest, DescriptionOrVersionWithoutCompanyGivesLevel2) {
    Api.Add("/bin/d", FakeFile("", "Tool", ""));
    Api.Add("/bin/v", FakeFile("", "", "1.0"));
    for (const char* Path : {"/bin/d", "/bin/v"}) {
        const TNodeData Data = Classify(Path);
        EXPECT_EQ(Data.RiskLevel, rlMediumDangerous) << Path;
        EXPECT_EQ(Data.Remark, Sys("Keine Hersteller-Informationen vorhanden"));
    }
}

TEST_F(ClassifyTest, BlanksCountAsText) {
    Api.Add("/bin/b", FakeFile(" ", "", ""));
    EXPECT_EQ(Classify("/bin/b").RiskLevel, rlSlightlyDangerous);
}

TEST_F(ClassifyTest, ResourceWithoutTheThreeStringsGivesLevel1Incomplete) {
    Api.Add("/bin/e", FakeFile("", "", ""));
    const TNodeData Data = Classify("/bin/e");
    EXPECT_EQ(Data.RiskLevel, rlPotentiallyDangerous);
    EXPECT_EQ(Data.Remark, Sys("Unvollständige Datei-Informationen"));
    EXPECT_EQ(Data.LanguageName, "Deutsch (Deutschland)");  // the language plays no part
}

TEST_F(ClassifyTest, EveryReaderFailureGivesLevel1WithoutValues) {
    TFakeVersionFile NoResource;
    NoResource.SizeError = kErrorResourceTypeNotFound;
    Api.Add("/bin/none", NoResource);
    TFakeVersionFile BadDate = FakeFile("ACME", "Tool", "1.0");
    BadDate.Fixed(1, 0, 0x80000000u, 0);
    Api.Add("/bin/date", BadDate);
    for (const char* Path : {"/bin/none", "/bin/date", "/missing", ""}) {
        SCOPED_TRACE(Path);
        Api.ModulePath = "/bin/none";  // the empty name reads the program's own file
        const TNodeData Data = Classify(Path, "earlier remark");
        EXPECT_EQ(Data.RiskLevel, rlPotentiallyDangerous);
        EXPECT_EQ(Data.Remark, Sys("Keine Datei-Informationen vorhanden"));
        EXPECT_EQ(Data.CompanyName + Data.FileDescription + Data.FileVersion + Data.LanguageName, "");
    }
}

}  // namespace
}  // namespace quorvane
