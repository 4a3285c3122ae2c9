#include "trust/ModuleVerdicts.h"

#include <exception>

#include "versioninfo/StConst.h"

namespace quorvane {

TSharedModuleVerdict UnexaminedModule(TModuleExamination Examination) {
    static const auto kPending = std::make_shared<const TModuleVerdict>();
    static const auto kUnreadable =
        std::make_shared<const TModuleVerdict>(TModuleVerdict{TModuleExamination::Unreadable, {}, {}, {}});
    return Examination == TModuleExamination::Unreadable ? kUnreadable : kPending;
}

TModuleVerdicts::TModuleVerdicts(IVersionApi& Versions, ISignatureCheck* Signatures)
    : FSignatures(Signatures), FReader(nullptr, Versions) {}

TModuleVerdict TModuleVerdicts::Verdict(const std::string& Path) {
    const std::lock_guard Lock(FMutex);
    TFileKey Before;
    const bool Identified = FSignatures && FSignatures->Identify(Path, Before);
    if (Identified)
        if (const auto Known = FKnown.find(Before); Known != FKnown.end())
            return Known->second;
    TModuleVerdict Verdict = Examine(Path);
    // Kept only when the file stayed the same while it was examined.
    TFileKey After;
    if (Identified && Verdict.Examination == TModuleExamination::Examined &&
        Verdict.Signature.Status != TSignatureStatus::Error && FSignatures->Identify(Path, After) && After == Before)
        FKnown.insert_or_assign(Before, Verdict);
    return Verdict;
}

std::size_t TModuleVerdicts::Size() const {
    const std::lock_guard Lock(FMutex);
    return FKnown.size();
}

TModuleVerdict TModuleVerdicts::Examine(const std::string& Path) {
    TModuleVerdict Verdict;
    // An empty name would make the reader read the running program.
    Verdict.Examination = Path.empty() ? TModuleExamination::Unreadable : TModuleExamination::Examined;
    if (Path.empty())
        return Verdict;
    try {
        FReader.InvalidateInfo();
        FReader.SetFileName(Path);
        Verdict.CompanyName = FReader.CompanyName();
    } catch (const EStException& Error) {
        // A library without version data is usual; one that fails the existence test was never read.
        if (Error.ErrorCode() == stscFileOpen) {
            Verdict.Examination = TModuleExamination::Unreadable;
            return Verdict;
        }
    } catch (const std::exception&) {
    }
    Verdict.Source = FReader.Source();
    if (FSignatures && FSignatures->Checks()) {
        TFileKey Identity;
        bool Identified = false;
        Verdict.Signature = FSignatures->Verify(Path, Identity, Identified);
    }
    return Verdict;
}

}  // namespace quorvane
