#include "catalogue/LateVerdicts.h"

#include <algorithm>

namespace quorvane {

TLateVerdicts::TLateVerdicts(TCatalogue& Catalogue, ISignatureCheck& Signatures, IVersionApi& ModuleVersions,
                             std::function<void()> Ready)
    : FCatalogue(Catalogue),
      FSignatureVerdicts(Signatures),
      FModuleVerdicts(ModuleVersions, &Signatures),
      FReady(std::move(Ready)) {}

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
    std::sort(Changed.begin(), Changed.end());
    Changed.erase(std::unique(Changed.begin(), Changed.end()), Changed.end());
    return Changed;
}

bool TLateVerdicts::Busy() const {
    return (FSignatureWorker && FSignatureWorker->Busy()) || (FModuleWorker && FModuleWorker->Busy());
}

void TLateVerdicts::Stop() {
    FSignatureWorker.reset();
    FModuleWorker.reset();
}

}  // namespace quorvane
