// A reload of the catalogue over the Windows back-ends, against the processes
// that Wine runs beside this test.
#include <algorithm>
#include <memory>

#include "catalogue/Catalogue.h"
#include "catalogue/Risk.h"
#include "probes/Probes.h"
#include "resources/StringTable.h"
#include "tests/probes/win32/ProbeFixture.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane::win32::testing {
namespace {

TEST(SystemCatalogue, HoldsTheRunningProcessesWithTheirFacts) {
    const std::unique_ptr<IProcessSource> Source = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Api = CreateSystemVersionApi();
    TStVersionInfo VersionInfo(nullptr, *Api);
    TCatalogue Catalogue(*Source, VersionInfo);
    const TReloadStatus Status = Catalogue.ReloadCatalogue();
    EXPECT_EQ("", Status.PrivilegeStatus);
    EXPECT_EQ(std::to_string(Catalogue.Count()) + LoadStr(TStringId::sProcessesLoaded), Status.ProcessCount);

    const TCatalogueNode* Services = nullptr;
    const TCatalogueNode* Own = nullptr;
    for (const TCatalogueNode* Node : Catalogue.TreeOrder()) {
        ASSERT_NE(nullptr, Node->Data());
        if (Node->Text == "services.exe")
            Services = Node;
        if (Node->Data()->ProcessId == ::GetCurrentProcessId())
            Own = Node;
    }
    ASSERT_NE(nullptr, Services);
    ASSERT_NE(nullptr, Own);

    for (const TCatalogueNode* Node : {Services, Own}) {
        SCOPED_TRACE(Node->Text);
        const TNodeData& Data = *Node->Data();
        EXPECT_GE(Data.ImagePath.size(), Node->Text.size() + 3);
        EXPECT_EQ(0, ::lstrcmpiA(Node->Text.c_str(), Data.ImagePath.substr(Data.ImagePath.size() - Node->Text.size()).c_str()));
        EXPECT_GT(Data.ImageSize, 0u);
        EXPECT_FALSE(Data.StartTime.empty());
        EXPECT_EQ(12u, Data.CpuTime.size());
        EXPECT_EQ(12u, Data.KernelTime.size());
        EXPECT_NE(0u, Data.PriorityClass);
        EXPECT_GE(Data.ThreadCount, 1);
    }
    // This program carries no version resource: rated by the rule, with its remark.
    EXPECT_EQ(rlPotentiallyDangerous, Own->Data()->RiskLevel);
    EXPECT_EQ(LoadStr(TStringId::sRemarkNoFileInfo), Own->Data()->Remark);
}

}  // namespace
}  // namespace quorvane::win32::testing
