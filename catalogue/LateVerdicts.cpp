#include "catalogue/LateVerdicts.h"

#include <algorithm>

namespace quorvane {

TLateVerdicts::TLateVerdicts(TCatalogue& Catalogue, ISignatureCheck& Signatures, IVersionApi& ModuleVersions,
                             std::function<void()> Ready)
    : FCatalogue(Catalogue),
      FSignatureVerdicts(Signatures),
      FModuleVerdicts(ModuleVersions, &Signatures),
      FReady(std::move(Ready)) {}

bool TLateVerdicts::ListModulesFrom(IProcessSource& Source) {
    if (!Source.ModuleReader())
        return false;
    FModuleSource = &Source;
    return true;
}

TLateVerdicts::TListed TLateVerdicts::List(const TListing& Listing) {
    TListed Listed;
    IProcessSource& Reader = *Listing.Round->Reader;
    const std::uint32_t Id = Listing.Process.ProcessId;
    Listed.Modules = Reader.QueryModules(Id);
    // Asked after the maps were read: a process that ended before, and a new
    // one with its id, has another start time. One that ran another program
    // (exec) since the reload keeps its start time, but not its image.
    std::string Start, Kernel, Cpu, Remark;
    std::uint32_t Priority = 0;
    Listed.SameProcess = Reader.QueryProcessTimes(Id, Start, Kernel, Cpu, Priority, Remark) &&
                         Reader.LastProcessTimes().StartUtc == Listing.Process.StartUtc &&
                         (Listed.Modules.ImagePath.empty() || Listed.Modules.ImagePath == Listing.Process.ImagePath);
    if (!Listed.SameProcess)
        return Listed;
    Listed.Verdicts.reserve(Listed.Modules.Modules.size());
    for (const TLoadedModule& Module : Listed.Modules.Modules) {
        TSharedModuleVerdict& Verdict = Listed.Verdicts.emplace_back();
        if (Module.ContentPath.empty())
            continue;
        auto [Kept, New] = Listing.Round->Verdicts.try_emplace(Module.ContentPath);
        if (New)
            Kept->second = std::make_shared<const TModuleVerdict>(FModuleVerdicts.Verdict(Module.ContentPath));
        Verdict = Kept->second;
    }
    return Listed;
}

void TLateVerdicts::Start() {
    if (FSignatureVerdicts.Checks()) {
        if (!FSignatureWorker)
            FSignatureWorker = std::make_unique<TSignatureWorker>(FSignatureVerdicts, FReady);
        FSignatureWorker->Start(FCatalogue.AwaitSignatures());
    }
    std::vector<std::string> Files = FCatalogue.ModuleFiles();
    if (!FModuleWorker && !Files.empty())
        FModuleWorker = std::make_unique<TVerdictWorker<TModuleVerdict>>(
            [this](const std::string& Path) { return FModuleVerdicts.Verdict(Path); }, FReady);
    if (FModuleWorker)
        FModuleWorker->Start(std::move(Files));
    if (FModuleSource) {
        auto Round = std::make_shared<TListingRound>();
        Round->Reader = FModuleSource->ModuleReader();
        Round->Reader->ListModules(true);
        std::vector<TListing> Listings;
        for (const TProcessStart& Process : FCatalogue.AwaitModules())
            Listings.push_back({Round, Process});
        if (!FListingWorker)
            FListingWorker = std::make_unique<TVerdictWorker<TListed, TListing>>(
                [this](const TListing& Listing) { return List(Listing); }, FReady);
        FListingWorker->Start(std::move(Listings));
    }
}

std::vector<std::size_t> TLateVerdicts::Deliver() {
    std::vector<std::size_t> Changed;
    const auto Add = [&Changed](const std::vector<std::size_t>& Positions) {
        Changed.insert(Changed.end(), Positions.begin(), Positions.end());
    };
    if (FSignatureWorker)
        for (const auto& [File, Signature] : FSignatureWorker->TakeVerdicts())
            Add(FCatalogue.SetSignature(File, Signature));
    if (FModuleWorker)
        for (const auto& [File, Verdict] : FModuleWorker->TakeVerdicts())
            Add(FCatalogue.SetModuleVerdict(File, Verdict));
    if (FListingWorker)
        for (auto& [Listing, Listed] : FListingWorker->TakeVerdicts()) {
            TProcessModules Modules;
            if (Listed.SameProcess)
                Modules = std::move(Listed.Modules);  // else none: the record's process has ended
            if (const auto Position =
                    FCatalogue.SetListedModules(Listing.Process, std::move(Modules), std::move(Listed.Verdicts)))
                Changed.push_back(*Position);
        }
    std::sort(Changed.begin(), Changed.end());
    Changed.erase(std::unique(Changed.begin(), Changed.end()), Changed.end());
    return Changed;
}

bool TLateVerdicts::Busy() const {
    return (FSignatureWorker && FSignatureWorker->Busy()) || (FModuleWorker && FModuleWorker->Busy()) ||
           (FListingWorker && FListingWorker->Busy());
}

void TLateVerdicts::Stop() {
    FSignatureWorker.reset();
    FModuleWorker.reset();
    FListingWorker.reset();
}

}  // namespace quorvane
