#include "catalogue/Catalogue.h"

#include <string_view>
#include <unordered_set>

#include "catalogue/Provenance.h"
#include "resources/StringTable.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {

TCatalogue::TCatalogue(IProcessSource& Source, TStCustomVersionInfo& VersionInfo, IIconSink* Icons)
    : FSource(Source), FVersionInfo(VersionInfo), FIcons(Icons) {}

TCatalogue::~TCatalogue() { ClearCatalogue(); }

TReloadStatus TCatalogue::ReloadCatalogue() {
    TReloadStatus Status;
    ClearCatalogue();
    // Files may have changed since the last reload, also the one the reader read last.
    FVersionInfo.InvalidateInfo();
    Status.PrivilegeStatus = FSource.EnableDebugPrivilege();
    FSource.ListModules(FListModules);
    FSource.EnumerateProcesses([this](const TProcessEntry& Entry) {
        AddProcessNode(Entry.ExeFile, Entry.ProcessId, Entry.ParentProcessId, Entry.Threads);
    });
    FullExpand();
    Status.ProcessCount = std::to_string(Count()) + LoadStr(TStringId::sProcessesLoaded);
    return Status;
}

void TCatalogue::ClearCatalogue() {
    for (const TCatalogueNode* Node : TreeOrder())
        const_cast<TCatalogueNode*>(Node)->FData.reset();
    FByProcessId.clear();
    FByImagePath.clear();
    FByModuleFile.clear();
    FPositionsById.clear();
    FVersionReadings.clear();
    FTopLevel.clear();
    FNodes.clear();
    FTreeOrder.clear();
    FTreeOrderValid = true;
}

void TCatalogue::AddProcessNode(const std::string& Name, std::uint32_t ProcessId, std::uint32_t ParentProcessId,
                                std::int32_t ThreadCount) {
    TCatalogueNode* Parent = FindLastInTreeOrder(ParentProcessId);

    auto Owned = std::make_unique<TCatalogueNode>();
    TCatalogueNode* Node = Owned.get();
    Node->Text = Name;
    Node->FParent = Parent;
    std::vector<TCatalogueNode*>& Siblings = Parent ? Parent->FChildren : FTopLevel;
    Node->FSiblingIndex = Siblings.size();
    Node->FLevel = Parent ? Parent->FLevel + 1 : 0;
    Siblings.push_back(Node);
    FNodes.push_back(std::move(Owned));
    FTreeOrderValid = false;
    FByImagePath.clear();
    FByModuleFile.clear();
    FPositionsById.clear();

    auto Data = std::make_unique<TNodeData>();
    Data->ProcessId = ProcessId;
    Data->ThreadCount = ThreadCount;

    if (ProcessId != 0 && FSource.QueryImageFile(ProcessId, Data->ImagePath, Data->ImageSize, Data->Remark)) {
        const TImageOrigin Origin = FSource.LastImageOrigin();
        Node->ImageIndex = FIcons ? FIcons->AddProcessIcon(Data->ImagePath) : 0;
        FSource.QueryProcessTimes(ProcessId, Data->StartTime, Data->KernelTime, Data->CpuTime, Data->PriorityClass,
                                  Data->Remark);
        Data->Times = FSource.LastProcessTimes();
        RateRunningImage(*Data, FVersionInfo, Origin, &FVersionReadings);
        if (FListModules)
            SetModules(*Data, FSource.QueryModules(ProcessId));
    } else if (Name == "[System Process]" || Name == "System") {
        Node->ImageIndex = 1;
        Data->RiskLevel = rlHarmless;
        Data->Remark.clear();
        Data->Explanation = ExplainKernelProcess();
    } else {
        Node->ImageIndex = 0;
        Data->RiskLevel = rlUndetermined;
        Data->Explanation = ExplainUndeterminedImage(Data->Remark);
    }

    Node->FData = std::move(Data);
    Node->SelectedIndex = Node->ImageIndex;
    FByProcessId[ProcessId].push_back(Node);
}

void TCatalogue::FullExpand() {
    for (const auto& Node : FNodes)
        Node->Expanded = true;
}

std::vector<std::string> TCatalogue::ImageFiles() const {
    std::vector<std::string> Files;
    std::unordered_set<std::string_view> Seen;
    for (const TCatalogueNode* Node : TreeOrder())
        if (Node->Data() && !Node->Data()->ImagePath.empty() && Seen.insert(Node->Data()->ImagePath).second)
            Files.push_back(Node->Data()->ImagePath);
    return Files;
}

std::vector<std::string> TCatalogue::AwaitSignatures() {
    std::vector<std::string> Files = ImageFiles();
    TSignature Pending;
    Pending.Status = TSignatureStatus::Pending;
    for (const std::string& File : Files)
        SetSignature(File, Pending);
    return Files;
}

std::vector<std::size_t> TCatalogue::SetSignature(const std::string& ImagePath, const TSignature& Signature) {
    if (FByImagePath.empty()) {
        const std::vector<const TCatalogueNode*>& Order = TreeOrder();
        for (std::size_t Index = 0; Index < Order.size(); ++Index)
            if (Order[Index]->Data() && !Order[Index]->Data()->ImagePath.empty())
                FByImagePath[Order[Index]->Data()->ImagePath].push_back(Index);
    }
    const auto Found = FByImagePath.find(ImagePath);
    if (Found == FByImagePath.end())
        return {};
    for (const std::size_t Index : Found->second)
        quorvane::SetSignature(*const_cast<TCatalogueNode*>(TreeOrder()[Index])->FData, Signature);
    return Found->second;
}

std::vector<std::string> TCatalogue::ModuleFiles() const {
    std::vector<std::string> Files;
    std::unordered_set<std::string_view> Seen;
    for (const TCatalogueNode* Node : TreeOrder())
        if (Node->Data())
            for (const TModule& Module : Node->Data()->Modules)
                if (Module.Verdict->Examination == TModuleExamination::Pending &&
                    Seen.insert(Module.File.ContentPath).second)
                    Files.push_back(Module.File.ContentPath);
    return Files;
}

std::vector<TProcessStart> TCatalogue::AwaitModules() {
    std::vector<TProcessStart> Processes;
    for (const TCatalogueNode* Node : TreeOrder()) {
        TNodeData* Data = Node->FData.get();
        if (Data && !Data->ImagePath.empty() && Data->Times.StartUtc) {
            quorvane::AwaitModules(*Data);
            Processes.push_back({Data->ProcessId, *Data->Times.StartUtc, Data->ImagePath});
        }
    }
    return Processes;
}

std::optional<std::size_t> TCatalogue::SetListedModules(const TProcessStart& Process, TProcessModules Modules,
                                                        std::vector<TSharedModuleVerdict> Verdicts) {
    const std::vector<const TCatalogueNode*>& Order = TreeOrder();
    if (FPositionsById.empty())
        for (std::size_t Position = 0; Position < Order.size(); ++Position)
            if (const TNodeData* Data = Order[Position]->Data())
                FPositionsById[Data->ProcessId].push_back(Position);
    const auto Found = FPositionsById.find(Process.ProcessId);
    if (Found == FPositionsById.end())
        return std::nullopt;
    for (const std::size_t Position : Found->second) {
        TNodeData& Data = *Order[Position]->FData;
        if (Data.ModulesAwaited && Data.Times.StartUtc == Process.StartUtc) {
            SetModules(Data, std::move(Modules), std::move(Verdicts));
            return Position;
        }
    }
    return std::nullopt;
}

void TCatalogue::SetModuleVerdicts(const std::function<TModuleVerdict(const std::string&)>& VerdictOf) {
    // One verdict per content path, shared by the records.
    std::unordered_map<std::string, TSharedModuleVerdict> Known;
    const auto Lookup = [&](const std::string& ContentPath) -> const TSharedModuleVerdict& {
        const auto [Found, New] = Known.try_emplace(ContentPath);
        if (New)
            Found->second = std::make_shared<const TModuleVerdict>(VerdictOf(ContentPath));
        return Found->second;
    };
    for (const TCatalogueNode* Node : TreeOrder())
        if (TNodeData* Data = Node->FData.get(); Data && !Data->Modules.empty())
            quorvane::SetModuleVerdicts(*Data, Lookup);
}

std::vector<std::size_t> TCatalogue::SetModuleVerdict(const std::string& ContentPath, const TModuleVerdict& Verdict) {
    const std::vector<const TCatalogueNode*>& Order = TreeOrder();
    if (FByModuleFile.empty())
        for (std::size_t Position = 0; Position < Order.size(); ++Position)
            if (const TNodeData* Data = Order[Position]->Data())
                for (std::size_t Index = 0; Index < Data->Modules.size(); ++Index)
                    if (!Data->Modules[Index].File.ContentPath.empty())
                        FByModuleFile[Data->Modules[Index].File.ContentPath].emplace_back(Position, Index);
    const auto Found = FByModuleFile.find(ContentPath);
    if (Found == FByModuleFile.end())
        return {};
    const auto Shared = std::make_shared<const TModuleVerdict>(Verdict);
    std::vector<std::size_t> Changed;
    for (const auto& [Position, Index] : Found->second) {
        quorvane::SetModuleVerdict(*const_cast<TCatalogueNode*>(Order[Position])->FData, Index, Shared);
        if (Changed.empty() || Changed.back() != Position)
            Changed.push_back(Position);
    }
    return Changed;
}

const TCatalogueNode& TCatalogue::Node(std::size_t Index) const { return *TreeOrder().at(Index); }

const std::vector<const TCatalogueNode*>& TCatalogue::TreeOrder() const {
    if (!FTreeOrderValid) {
        FTreeOrder.clear();
        FTreeOrder.reserve(FNodes.size());
        // Iterative depth-first walk: deep parent chains must not exhaust the stack.
        std::vector<const TCatalogueNode*> Pending(FTopLevel.rbegin(), FTopLevel.rend());
        while (!Pending.empty()) {
            const TCatalogueNode* Node = Pending.back();
            Pending.pop_back();
            FTreeOrder.push_back(Node);
            Pending.insert(Pending.end(), Node->FChildren.rbegin(), Node->FChildren.rend());
        }
        FTreeOrderValid = true;
    }
    return FTreeOrder;
}

TCatalogueNode* TCatalogue::FindLastInTreeOrder(std::uint32_t ProcessId) const {
    const auto Found = FByProcessId.find(ProcessId);
    if (Found == FByProcessId.end())
        return nullptr;
    TCatalogueNode* Last = nullptr;
    for (TCatalogueNode* Candidate : Found->second)
        if (!Last || PrecedesInTreeOrder(Last, Candidate))
            Last = Candidate;
    return Last;
}

bool TCatalogue::PrecedesInTreeOrder(const TCatalogueNode* A, const TCatalogueNode* B) {
    const TCatalogueNode* AncestorA = A;
    const TCatalogueNode* AncestorB = B;
    while (AncestorA->FLevel > AncestorB->FLevel)
        AncestorA = AncestorA->FParent;
    while (AncestorB->FLevel > AncestorA->FLevel)
        AncestorB = AncestorB->FParent;
    if (AncestorA == AncestorB)  // one is an ancestor of the other, and comes first
        return A->FLevel < B->FLevel;
    while (AncestorA->FParent != AncestorB->FParent) {
        AncestorA = AncestorA->FParent;
        AncestorB = AncestorB->FParent;
    }
    return AncestorA->FSiblingIndex < AncestorB->FSiblingIndex;
}

}  // namespace quorvane
