#include "catalogue/Catalogue.h"

#include <gtest/gtest.h>

#include <random>

#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;
using testing::Sys;
using testing::TFakeProcessSource;
using testing::TFakeVersionApi;

// Records what the catalogue looks like at each icon request.
class TRecordingIconSink : public IIconSink {
public:
    const TCatalogue* Catalogue = nullptr;
    std::vector<std::string> Paths;
    std::vector<bool> NewestNodeHadRecord;
    int Next = 2;

    int AddProcessIcon(const std::string& Path) override {
        Paths.push_back(Path);
        bool HasRecord = false;
        for (const TCatalogueNode* Node : Catalogue->TreeOrder())
            if (Node->Text == Path.substr(Path.rfind('/') + 1))
                HasRecord = Node->Data() != nullptr;
        NewestNodeHadRecord.push_back(HasRecord);
        return Next++;
    }
};

class CatalogueTest : public ::testing::Test {
protected:
    TReloadStatus Reload() { return Catalogue.ReloadCatalogue(); }

    // Captions in tree order, each indented by its level.
    std::vector<std::string> Outline() const {
        std::vector<std::string> Lines;
        for (const TCatalogueNode* Node : Catalogue.TreeOrder())
            Lines.push_back(std::string(2 * Node->Level(), ' ') + Node->Text);
        return Lines;
    }

    const TCatalogueNode& Named(const std::string& Text) const {
        for (const TCatalogueNode* Node : Catalogue.TreeOrder())
            if (Node->Text == Text)
                return *Node;
        throw std::runtime_error("no node " + Text);
    }

    TFakeProcessSource Source;
    TFakeVersionApi Api;
    TStVersionInfo Reader{nullptr, Api};
    TRecordingIconSink Icons;
    TCatalogue Catalogue{Source, Reader, &Icons};

    void SetUp() override { Icons.Catalogue = &Catalogue; }
};

TEST_F(CatalogueTest, TreeFollowsParentsAndSnapshotOrder) {
    Source.Processes = {
        Process("[System Process]", 0, 0), Process("System", 4, 0),   Process("orphan", 30, 20),
        Process("init", 1, 0),             Process("shell", 20, 1),    Process("b", 22, 1),
        Process("a", 21, 20),
    };
    const TReloadStatus Status = Reload();
    // A child listed before its parent stays at the top level; siblings keep snapshot order.
    EXPECT_EQ(Outline(), (std::vector<std::string>{"[System Process]", "  System", "  init", "    shell", "      a",
                                                   "    b", "orphan"}));
    EXPECT_EQ(Status.ProcessCount, Sys("7 Prozesse geladen "));
    for (const TCatalogueNode* Node : Catalogue.TreeOrder())
        EXPECT_TRUE(Node->Expanded) << Node->Text;
}

TEST_F(CatalogueTest, ReusedIdAttachesToTheLastNodeInTreeOrderNotTheLastAdded) {
    Source.Processes = {
        Process("p", 1, 99),      // top level
        Process("r", 2, 99),      // top level
        Process("x", 5, 2),       // under r
        Process("q", 5, 1),       // under p: added after x, but before it in tree order
        Process("child", 6, 5),
    };
    Reload();
    EXPECT_EQ(Outline(), (std::vector<std::string>{"p", "  q", "r", "  x", "    child"}));
}

TEST_F(CatalogueTest, KernelPseudoProcessesAreRatedByNameOnlyWhenTheProbeFails) {
    Api.Add("/boot/system", FakeFile("Kernel Inc.", "", ""));
    auto Unreadable = Process("System", 4, 0);
    Unreadable.ImageRemark = "Zugriff verweigert";
    Source.Processes = {Process("[System Process]", 0, 0), Unreadable,
                        ProcessWithImage("System", 8, 0, "/boot/system"), Process("system", 9, 0)};
    Reload();
    const auto& Nodes = Catalogue.TreeOrder();
    ASSERT_EQ(Nodes.size(), 4u);
    // Id 0 is never probed.
    EXPECT_EQ(Source.ImageQueries, (std::vector<std::uint32_t>{4, 8, 9}));
    for (int I : {0, 1}) {
        EXPECT_EQ(Nodes[I]->Data()->RiskLevel, rlHarmless);
        EXPECT_EQ(Nodes[I]->ImageIndex, 1);
        EXPECT_EQ(Nodes[I]->Data()->Remark, "");
    }
    // "System" with a readable image is classified like any process.
    EXPECT_EQ(Nodes[2]->Data()->RiskLevel, rlSlightlyDangerous);
    EXPECT_EQ(Nodes[2]->Data()->CompanyName, "Kernel Inc.");
    // The name must match exactly.
    EXPECT_EQ(Nodes[3]->Data()->RiskLevel, rlUndetermined);
    EXPECT_EQ(Nodes[3]->ImageIndex, 0);
}

TEST_F(CatalogueTest, ProbedProcessCarriesImageTimesVersionAndIcon) {
    Api.Add("/usr/bin/tool", FakeFile("ACME", "Tool", "2.1"));
    auto Tool = ProcessWithImage("tool", 100, 0, "/usr/bin/tool", 512);
    Tool.Entry.Threads = 7;
    Source.Processes = {Tool};
    Reload();
    const TCatalogueNode& Node = Named("tool");
    const TNodeData& Data = *Node.Data();
    EXPECT_EQ(Data.ProcessId, 100u);
    EXPECT_EQ(Data.ThreadCount, 7);
    EXPECT_EQ(Data.ImagePath, "/usr/bin/tool");
    EXPECT_EQ(Data.ImageSize, 512u);
    EXPECT_EQ(Data.StartTime, "07.12.2026 10:00:00");
    EXPECT_EQ(Data.KernelTime, "00:00:01.000");
    EXPECT_EQ(Data.CpuTime, "00:00:02.500");
    EXPECT_EQ(Data.PriorityClass, 32u);
    EXPECT_EQ(Data.FileDescription, "Tool");
    EXPECT_EQ(Data.FileVersion, "2.1");
    EXPECT_EQ(Data.RiskLevel, rlSlightlyDangerous);
    EXPECT_EQ(Node.ImageIndex, 2);
    EXPECT_EQ(Node.SelectedIndex, 2);
    // The record is attached only after the icon was added.
    EXPECT_EQ(Icons.NewestNodeHadRecord, std::vector<bool>{false});
}

TEST_F(CatalogueTest, FailedProbesKeepTheSystemMessage) {
    auto Denied = Process("secret", 10, 0);
    Denied.ImageRemark = "Zugriff verweigert";
    auto NoTimes = ProcessWithImage("daemon", 11, 0, "/usr/sbin/daemon");
    NoTimes.TimesRemark = "Zugriff verweigert";
    Api.Add("/usr/sbin/daemon", FakeFile("ACME", "", ""));
    Source.Processes = {Denied, NoTimes};
    Reload();
    // Times are read only for a process whose image was found.
    EXPECT_EQ(Source.TimeQueries, std::vector<std::uint32_t>{11});
    const TNodeData& Secret = *Named("secret").Data();
    EXPECT_EQ(Secret.RiskLevel, rlUndetermined);
    EXPECT_EQ(Secret.Remark, "Zugriff verweigert");
    EXPECT_EQ(Named("secret").ImageIndex, 0);
    const TNodeData& Daemon = *Named("daemon").Data();
    EXPECT_EQ(Daemon.RiskLevel, rlSlightlyDangerous);
    EXPECT_EQ(Daemon.Remark, "Zugriff verweigert");
    EXPECT_EQ(Daemon.StartTime, "");
    EXPECT_EQ(Daemon.PriorityClass, 0u);
}

TEST_F(CatalogueTest, ReloadReplacesEverythingAndReportsThePrivilegeStep) {
    Source.Processes = {Process("a", 1, 0), Process("b", 2, 1)};
    Source.PrivilegeStatus = "OPENPROCESSTOKEN=5";
    TReloadStatus Status = Reload();
    EXPECT_EQ(Status.PrivilegeStatus, "OPENPROCESSTOKEN=5");
    EXPECT_EQ(Catalogue.Count(), 2u);

    Source.Processes = {};
    Source.PrivilegeStatus = "";
    Status = Reload();
    EXPECT_EQ(Status.PrivilegeStatus, "");
    EXPECT_EQ(Status.ProcessCount, Sys("0 Prozesse geladen "));
    EXPECT_EQ(Catalogue.Count(), 0u);
    EXPECT_TRUE(Catalogue.TopLevel().empty());
}

TEST_F(CatalogueTest, WithoutIconSinkProbedNodesUseImage0) {
    TCatalogue Plain(Source, Reader);
    Source.Processes = {ProcessWithImage("tool", 3, 0, "/x/tool")};
    Plain.ReloadCatalogue();
    EXPECT_EQ(Plain.Node(0).ImageIndex, 0);
    EXPECT_EQ(Plain.Node(0).Data()->RiskLevel, rlPotentiallyDangerous);  // /x/tool does not exist
}

// The parent search by index must pick the same node as walking every node
// in tree order and keeping the last match.
TEST(CatalogueParentSearch, AgreesWithAWalkOverAllNodesOnRandomSnapshots) {
    std::mt19937 Random(20261207);
    for (int Round = 0; Round < 40; ++Round) {
        TFakeProcessSource Source;
        TFakeVersionApi Api;
        TStVersionInfo Reader(nullptr, Api);
        TCatalogue Catalogue(Source, Reader);
        // Few distinct ids, so ids are reused often.
        std::uniform_int_distribution<std::uint32_t> Id(1, 12);
        std::vector<std::pair<std::string, std::uint32_t>> Expected;  // name, expected parent's name
        for (int I = 0; I < 60; ++I) {
            const std::uint32_t Pid = Id(Random);
            const std::uint32_t Parent = Id(Random);
            const std::string Name = "n" + std::to_string(I);
            // The reference: last node in the current tree order with that id.
            std::string ParentName;
            for (const TCatalogueNode* Node : Catalogue.TreeOrder())
                if (Node->Data()->ProcessId == Parent)
                    ParentName = Node->Text;
            Catalogue.AddProcessNode(Name, Pid, Parent, 1);
            const TCatalogueNode* Added = Catalogue.TreeOrder().front();
            for (const TCatalogueNode* Node : Catalogue.TreeOrder())
                if (Node->Text == Name)
                    Added = Node;
            ASSERT_EQ(Added->Parent() ? Added->Parent()->Text : "", ParentName) << "round " << Round << ", " << Name;
        }
    }
}

}  // namespace
}  // namespace quorvane
