#include "catalogue/Provenance.h"

#include <initializer_list>
#include <string_view>

#include "catalogue/Risk.h"
#include "resources/StringTable.h"
#include "versioninfo/StConst.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

bool ImageGone(TImageState State) {
    return State == TImageState::Deleted || State == TImageState::Replaced || State == TImageState::MemoryOnly;
}

// What the rule found in values that were read.
const std::string& Finding(const TNodeData& Data) {
    switch (Data.RiskLevel) {
        case rlSlightlyDangerous: return LoadStr(TStringId::sFindingCompany);
        case rlMediumDangerous: return LoadStr(TStringId::sFindingNoCompany);
        default: return LoadStr(TStringId::sFindingNothing);
    }
}

// "Paket bash 5.2 (dpkg); ...", and why a package rates lower than a maker would.
std::string VouchedBy(TStringId Id, const TNodeData& Data, const TVersionSource& Source) {
    std::string Text = FormatStr(Id, {Source.PackageName, Source.PackageVersion, Source.PackageManager});
    if (Data.RiskLevel != rlSlightlyDangerous)
        Text += " " + LoadStr(TStringId::sExplainPackageNoMaintainer);
    return Text;
}

// The source of the last load; a name that failed the existence test was never loaded.
TVersionSource SourceOf(const TStCustomVersionInfo& Reader, std::int32_t ReadFailure) {
    if (ReadFailure == stscFileOpen)
        return TVersionSource{TVersionSourceKind::None, TPackageCheck::NotListed, {}, {}, {}, {}};
    return Reader.Source();
}

void SetPackageFacts(TNodeData& Data, const TVersionSource& Source) {
    const bool Listed = Source.Check != TPackageCheck::NotListed;
    Data.PackageName = Listed ? Source.PackageName : std::string();
    Data.PackageVersion = Listed ? Source.PackageVersion : std::string();
    Data.PackageManager = Listed ? Source.PackageManager : std::string();
    Data.PackageVerified = Source.Check == TPackageCheck::Verified;
}

std::string WithoutClosingPoint(std::string Message) {
    while (!Message.empty() && (Message.back() == '.' || Message.back() == ' '))
        Message.pop_back();
    return Message;
}

}  // namespace

void RateRunningImage(TNodeData& Data, TStCustomVersionInfo& Reader, const TImageOrigin& Origin,
                      TVersionReadings* Known) {
    Data.ImageState = Origin.State;
    // Only an image read under its own path is the same file for every process
    // that names it; a content path names one process's image.
    const bool Shared = Known && Origin.ContentPath.empty();
    const auto Found = Shared ? Known->find(Data.ImagePath) : TVersionReadings::iterator();
    std::int32_t Failure = 0;
    TVersionSource Source;
    if (Shared && Found != Known->end()) {
        const TVersionReading& Reading = Found->second;
        Data.CompanyName = Reading.CompanyName;
        Data.FileDescription = Reading.FileDescription;
        Data.FileVersion = Reading.FileVersion;
        Data.LanguageName = Reading.LanguageName;
        Failure = Reading.Failure;
        Source = Reading.Source;
        RateByVersionValues(Data, Failure);
    } else {
        // A content path names one process's image; the next process may
        // bring the same name (a descriptor's number) for another image.
        if (!Origin.ContentPath.empty())
            Reader.InvalidateInfo();
        Failure = ClassifyByVersionInfo(Data, Reader, Origin.ContentPath.empty() ? Data.ImagePath : Origin.ContentPath);
        Source = SourceOf(Reader, Failure);
        if (Shared)
            Known->emplace(Data.ImagePath, TVersionReading{Failure, Data.CompanyName, Data.FileDescription,
                                                           Data.FileVersion, Data.LanguageName, Source});
    }
    if (ImageGone(Origin.State) && Failure == 0 && Source.Kind != TVersionSourceKind::Package)
        RateWithoutVersionData(Data);
    SetPackageFacts(Data, Source);
    Data.Explanation = ExplainRating(Data, Failure, Source, Origin.State);
}

void RateFile(TNodeData& Data, TStCustomVersionInfo& Reader) {
    const std::int32_t Failure = ClassifyByVersionInfo(Data, Reader);
    const TVersionSource Source = SourceOf(Reader, Failure);
    SetPackageFacts(Data, Source);
    Data.Explanation = ExplainRating(Data, Failure, Source, Data.ImageState);
}

std::string ExplainRating(const TNodeData& Data, std::int32_t ReadFailure, const TVersionSource& Source,
                          TImageState State) {
    if (State == TImageState::MemoryOnly)
        return LoadStr(TStringId::sExplainMemoryOnly);
    if (ImageGone(State))
        return ReadFailure == 0 && Source.Kind == TVersionSourceKind::Package
                   ? VouchedBy(TStringId::sExplainImageGoneVouched, Data, Source)
                   : LoadStr(TStringId::sExplainImageGone);
    if (ReadFailure == stscFileOpen)
        return LoadStr(TStringId::sExplainCannotOpen);
    if (ReadFailure != 0 && ReadFailure != stscNoVerInfo && ReadFailure != stscVerInfoFail)
        return LoadStr(TStringId::sExplainBadFileDate);

    // Why a package that lists the file does not vouch for it.
    std::string Text;
    const std::initializer_list<std::string_view> Package = {Source.PackageName, Source.PackageManager};
    switch (Source.Check) {
        case TPackageCheck::Changed: Text = FormatStr(TStringId::sExplainPackageChanged, Package); break;
        case TPackageCheck::NoChecksum: Text = FormatStr(TStringId::sExplainPackageNoChecksum, Package); break;
        case TPackageCheck::Unreadable: Text = FormatStr(TStringId::sExplainPackageUnreadable, Package); break;
        case TPackageCheck::NotListed:
        case TPackageCheck::Verified: break;
    }
    // A database that could not be read may list the file: whether a
    // package does is open, and the file is described by itself.
    for (const TUnreadDatabase& Unread : Source.UnreadDatabases)
        Text += (Text.empty() ? "" : " ") +
                FormatStr(TStringId::sExplainDatabaseUnread, {Unread.Manager, Unread.Location, Unread.Reason});
    const bool Listed = Source.Check != TPackageCheck::NotListed || !Source.UnreadDatabases.empty();
    if (!Text.empty())
        Text += ' ';

    switch (Source.Kind) {
        case TVersionSourceKind::Package:
            if (ReadFailure == 0)
                return VouchedBy(TStringId::sExplainPackageVerified, Data, Source);
            break;
        case TVersionSourceKind::PackageNote:
            if (ReadFailure == 0) {
                if (!Listed)
                    Text = LoadStr(TStringId::sExplainNotInPackage) + ' ';
                return Text + FormatStr(TStringId::sExplainNote, {Finding(Data)});
            }
            break;
        case TVersionSourceKind::None:
            if (!Listed)
                return LoadStr(ReadFailure == stscNoVerInfo ? TStringId::sExplainNotInPackageNoVersion
                                                           : TStringId::sExplainNotInPackageNoImage);
            return Text + LoadStr(ReadFailure == stscNoVerInfo ? TStringId::sExplainNoVersion
                                                              : TStringId::sExplainNoImageFile);
        case TVersionSourceKind::FileResource: {
            // A package may list the file too: it vouches for the content, not for the values.
            const std::string Listing =
                Source.Check == TPackageCheck::Verified
                    ? " " + FormatStr(TStringId::sExplainPackageListsFile,
                                      {Source.PackageName, Source.PackageVersion, Source.PackageManager})
                    : std::string();
            if (ReadFailure == 0)
                return Text + FormatStr(TStringId::sExplainResource, {Finding(Data)}) + Listing;
            if (ReadFailure == stscNoVerInfo)
                return Text + LoadStr(TStringId::sExplainNoResource) + Listing;
            break;
        }
    }
    return Text + LoadStr(TStringId::sExplainResourceUnreadable);
}

std::string ExplainKernelProcess() { return LoadStr(TStringId::sExplainKernel); }

std::string ExplainUndeterminedImage(const std::string& Remark) {
    const std::string Message = WithoutClosingPoint(Remark);
    return Message.empty() ? LoadStr(TStringId::sExplainNoImage)
                           : FormatStr(TStringId::sExplainNoImageBecause, {Message});
}

std::string ExplainUnexaminedFile(const std::string& Message) {
    return FormatStr(TStringId::sExplainCannotExamine, {WithoutClosingPoint(Message)});
}

std::string ExplainSignature(const TSignature& Signature) {
    const std::string& Signer = Signature.Signer.empty() ? LoadStr(TStringId::sSignatureUnnamed) : Signature.Signer;
    switch (Signature.Status) {
        case TSignatureStatus::NotChecked: break;
        case TSignatureStatus::Pending: return LoadStr(TStringId::sSignaturePending);
        case TSignatureStatus::Trusted:
            return FormatStr(Signature.Source == TSignatureSource::Catalog ? TStringId::sSignatureTrustedCatalog
                                                                          : TStringId::sSignatureTrusted,
                             {Signer, Signature.Issuer});
        case TSignatureStatus::Untrusted:
            switch (Signature.Problem) {
                case TTrustProblem::Expired: return FormatStr(TStringId::sSignatureUntrustedExpired, {Signer});
                case TTrustProblem::Revoked: return FormatStr(TStringId::sSignatureUntrustedRevoked, {Signer});
                case TTrustProblem::None:
                case TTrustProblem::Chain: break;
            }
            return FormatStr(TStringId::sSignatureUntrustedChain, {Signer});
        case TSignatureStatus::Tampered: return LoadStr(TStringId::sSignatureTampered);
        case TSignatureStatus::Unsigned: return LoadStr(TStringId::sSignatureUnsigned);
        case TSignatureStatus::Error:
            return FormatStr(TStringId::sSignatureError, {WithoutClosingPoint(Signature.Message)});
    }
    return std::string();
}

namespace {

// The sentences of the verdicts that may arrive late, as they end the explanation.
std::string LateSentences(const TNodeData& Data) {
    std::string Text = ExplainSignature(Data.Signature);
    const std::string Modules = ExplainModules(Data);
    if (!Text.empty() && !Modules.empty())
        Text += ' ';
    return Text + Modules;
}

// Applies Change to Data, and gives the explanation the late sentences of the result.
template <typename F>
void ChangeLateVerdicts(TNodeData& Data, F&& Change) {
    std::string& Text = Data.Explanation;
    const std::string Before = LateSentences(Data);
    if (!Before.empty() && Text.ends_with(Before)) {
        Text.resize(Text.size() - Before.size());
        if (!Text.empty() && Text.back() == ' ')
            Text.pop_back();
    }
    Change();
    const std::string After = LateSentences(Data);
    if (!After.empty())
        Text += Text.empty() ? After : " " + After;
}

// "/tmp/libx.so (gelöscht)": the path, and why its content is not what a package installed.
std::string ModuleName(const TModule& Module) {
    std::string Name = Module.File.Path;
    switch (Module.File.State) {
        case TImageState::Deleted: return Name + LoadStr(TStringId::sModuleDeleted);
        case TImageState::Replaced: return Name + LoadStr(TStringId::sModuleReplaced);
        case TImageState::MemoryOnly: return Name + LoadStr(TStringId::sModuleMemoryOnly);
        case TImageState::Present:
        case TImageState::Unknown: break;
    }
    if (Module.Verdict->Source.Check == TPackageCheck::Changed)
        Name += LoadStr(TStringId::sModuleChanged);
    return Name;
}

// "a, b, c und 2 weitere".
std::string NameList(const std::vector<const TModule*>& Modules) {
    constexpr std::size_t kNamed = 3;
    std::string List;
    for (std::size_t I = 0; I < Modules.size() && I < kNamed; ++I)
        List += (I == 0 ? "" : ", ") + ModuleName(*Modules[I]);
    if (Modules.size() > kNamed)
        return FormatStr(TStringId::sModulesMore, {List, std::to_string(Modules.size() - kNamed)});
    return List;
}

}  // namespace

std::string ExplainModules(const TNodeData& Data) {
    if (Data.ModulesAwaited)
        return LoadStr(TStringId::sModulesPending);
    if (!Data.ModulesListed)
        return Data.ModulesProblem.empty()
                   ? std::string()
                   : FormatStr(TStringId::sModulesUnreadable, {WithoutClosingPoint(Data.ModulesProblem)});
    std::vector<const TModule*> Unvouched[3];  // by TPreload
    bool Signatures = false;
    for (const TModule& Module : Data.Modules) {
        if (Module.Verdict->Examination == TModuleExamination::Pending)
            return LoadStr(TStringId::sModulesPending);
        const TSignatureStatus Status = Module.Verdict->Signature.Status;
        Signatures = Signatures || (Status != TSignatureStatus::NotChecked && Status != TSignatureStatus::Pending);
        if (!Vouched(*Module.Verdict))
            Unvouched[static_cast<std::size_t>(Module.File.Preload)].push_back(&Module);
    }
    std::string Text;
    const auto Add = [&Text](TStringId Id, const std::vector<const TModule*>& Modules) {
        if (!Modules.empty())
            Text += (Text.empty() ? "" : " ") + FormatStr(Id, {NameList(Modules)});
    };
    Add(TStringId::sModulesPreloadEnvironment, Unvouched[static_cast<std::size_t>(TPreload::Environment)]);
    Add(TStringId::sModulesPreloadFile, Unvouched[static_cast<std::size_t>(TPreload::SystemFile)]);
    Add(Signatures ? TStringId::sModulesNoSignature : TStringId::sModulesNoPackage,
        Unvouched[static_cast<std::size_t>(TPreload::None)]);
    return Text;
}

void SetSignature(TNodeData& Data, const TSignature& Signature) {
    ChangeLateVerdicts(Data, [&] { Data.Signature = Signature; });
}

void AwaitModules(TNodeData& Data) {
    ChangeLateVerdicts(Data, [&] { Data.ModulesAwaited = true; });
}

void SetModules(TNodeData& Data, TProcessModules Modules, std::vector<TSharedModuleVerdict> Verdicts) {
    ChangeLateVerdicts(Data, [&] {
        Data.ModulesAwaited = false;
        Data.ModulesListed = Modules.Listed;
        Data.ModulesProblem = std::move(Modules.Problem);
        Data.Modules.clear();
        Data.Modules.reserve(Modules.Modules.size());
        for (std::size_t Index = 0; Index < Modules.Modules.size(); ++Index) {
            TLoadedModule& File = Modules.Modules[Index];
            TModule& Module = Data.Modules.emplace_back();
            if (Index < Verdicts.size() && Verdicts[Index])
                Module.Verdict = std::move(Verdicts[Index]);
            else
                Module.Verdict = UnexaminedModule(File.ContentPath.empty() ? TModuleExamination::Unreadable
                                                                           : TModuleExamination::Pending);
            Module.File = std::move(File);
        }
    });
}

void SetModuleVerdicts(TNodeData& Data,
                       const std::function<const TSharedModuleVerdict&(const std::string&)>& VerdictOf) {
    ChangeLateVerdicts(Data, [&] {
        for (TModule& Module : Data.Modules)
            if (Module.Verdict->Examination == TModuleExamination::Pending)
                Module.Verdict = VerdictOf(Module.File.ContentPath);
    });
}

void SetModuleVerdict(TNodeData& Data, std::size_t Index, const TSharedModuleVerdict& Verdict) {
    if (Index < Data.Modules.size())
        ChangeLateVerdicts(Data, [&] { Data.Modules[Index].Verdict = Verdict; });
}

}  // namespace quorvane
