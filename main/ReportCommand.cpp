#include "main/ReportCommand.h"

#include <chrono>
#include <optional>
#include <ostream>

#include "catalogue/Catalogue.h"
#include "catalogue/Provenance.h"
#include "catalogue/Risk.h"
#include "common/SystemText.h"
#include "main/JsonReport.h"
#include "report/Report.h"
#include "resources/StringTable.h"
#include "trust/ModuleVerdicts.h"
#include "trust/SignatureVerdicts.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

constexpr const char* kProgram = "quorvane-report";

int UsageError(std::ostream& Err, const std::string& Message) {
    Err << kProgram << ": " << Message << "\n" << LoadStr(TStringId::sCmdHelpHint) << kProgram << " --help\n";
    return kExitUsage;
}

int WriteFailed(std::ostream& Err, const std::string& Reason) {
    Err << kProgram << ": " << FormatStr(TStringId::sCmdCannotWriteOutput, {Reason}) << "\n";
    return kExitWriteFailed;
}

int WriteOut(IStandardOutput& Out, std::ostream& Err, const std::string& Text) {
    std::string Reason;
    return Out.Write(Text, Reason) ? kExitSuccess : WriteFailed(Err, Reason);
}

// The report in a file, or a message saying why it is not there.
int WriteToFile(const std::string& FileName, std::ostream& Err, const std::string& Text) {
    try {
        WriteReportFile(FileName, Text);
    } catch (const EStreamError& Error) {
        Err << kProgram << ": " << Error.what() << "\n";
        return kExitWriteFailed;
    }
    return kExitSuccess;
}

struct TOptions {
    std::vector<std::string> Operands;
    bool ListFiles = false;
    bool Json = false;
    bool HasRoot = false;
    std::string Root;
    bool Modules = false;
};

// Package databases that could not be read, once each, after the work.
void ReportUnreadDatabases(IVersionApi& Versions, std::ostream& Err) {
    for (const TUnreadDatabase& Unread : Versions.UnreadPackageDatabases())
        Err << kProgram << ": "
            << MessageText(FormatStr(TStringId::sDatabaseUnread, {Unread.Manager, Unread.Location, Unread.Reason}))
            << "\n";
}

}  // namespace

std::vector<TNodeData> RateFiles(const std::vector<std::string>& Paths, IVersionApi& Versions,
                                 ISignatureCheck* Signatures) {
    TStVersionInfo VersionInfo(nullptr, Versions);
    std::optional<TSignatureVerdicts> Verdicts;
    if (Signatures && Signatures->Checks())
        Verdicts.emplace(*Signatures);
    std::vector<TNodeData> Files;
    Files.reserve(Paths.size());
    for (const std::string& Path : Paths) {
        TNodeData& Data = Files.emplace_back();
        Data.ImagePath = Path;
        // An empty argument names no file (the reader would take it for the running program).
        const std::string Problem = Path.empty() ? LoadStr(TStringId::sFileEmptyPath) : Versions.FileProblem(Path);
        if (Problem.empty()) {
            RateFile(Data, VersionInfo);
            if (Verdicts)
                SetSignature(Data, Verdicts->Verdict(Path));
        } else {
            Data.RiskLevel = rlUndetermined;
            Data.Remark = Problem;
            Data.Explanation = ExplainUnexaminedFile(Problem);
        }
    }
    return Files;
}

std::string FilesListing(const std::vector<TNodeData>& Files) {
    std::string Text = LoadStr(TStringId::sFilesHeader);
    for (const TNodeData& Data : Files)
        AppendReportLine(Text, {Data.ImagePath, Data.CompanyName, Data.FileDescription, Data.FileVersion,
                                Data.LanguageName, Data.Remark, RiskName(Data), Data.Explanation});
    return Text;
}

int RunReportCommand(const std::vector<std::string>& Arguments, IProcessSource& Processes, IVersionApi& Versions,
                     IStandardOutput& Out, std::ostream& Err, ISignatureCheck* Signatures,
                     const TRootedVersionApi& Rooted) {
    TOptions Options;
    bool OptionsEnded = false;
    for (std::size_t Index = 0; Index < Arguments.size(); ++Index) {
        const std::string& Argument = Arguments[Index];
        // Once --files has its first path, everything after it is a path.
        if (OptionsEnded || (Options.ListFiles && !Options.Operands.empty() && Argument != "--") ||
            Argument == "-" || Argument.empty() || Argument[0] != '-') {
            Options.Operands.push_back(Argument);
        } else if (Argument == "--") {
            OptionsEnded = true;
        } else if (Argument == "--help" || Argument == "-h") {
            return WriteOut(Out, Err, LoadStr(TStringId::sCmdHelp));
        } else if (Argument == "--version") {
            return WriteOut(Out, Err, std::string(kProgram) + " " + QUORVANE_VERSION + "\n");
        } else if (Argument == "--files") {
            if (!Options.Operands.empty())
                return UsageError(Err, LoadStr(TStringId::sCmdFilesBeforePaths));
            Options.ListFiles = true;
        } else if (Argument == "--json") {
            Options.Json = true;
        } else if (Argument == "--root" || Argument.rfind("--root=", 0) == 0) {
            if (Argument == "--root" && Index + 1 == Arguments.size())
                return UsageError(Err, LoadStr(TStringId::sCmdRootNeedsFolder));
            Options.Root = Argument == "--root" ? Arguments[++Index] : Argument.substr(7);
            Options.HasRoot = true;
            if (Options.Root.empty())
                return UsageError(Err, LoadStr(TStringId::sCmdRootNeedsFolder));
        } else if (Argument == "--modules") {
            Options.Modules = true;
        } else {
            return UsageError(Err, FormatStr(TStringId::sCmdUnknownOption, {MessageText(Argument)}));
        }
    }

    // The inventory of libraries is a part of the processes' JSON objects.
    if (Options.Modules && (!Options.Json || Options.ListFiles))
        return UsageError(Err, LoadStr(TStringId::sCmdModulesNeedJson));

    TSnapshot Snapshot;
    if (Options.Json) {
        Snapshot.HostName = Processes.HostName();
        Snapshot.Time = SnapshotTime(std::chrono::system_clock::now());
    }

    if (Options.HasRoot && !Options.ListFiles)
        return UsageError(Err, LoadStr(TStringId::sCmdRootWithoutFiles));
    if (Options.ListFiles) {
        if (Options.Operands.empty())
            return UsageError(Err, LoadStr(TStringId::sCmdFilesNeedPath));
        std::unique_ptr<IVersionApi> RootVersions;
        if (Options.HasRoot) {
            std::string Problem = LoadStr(TStringId::sCmdRootUnsupported);
            RootVersions = Rooted ? Rooted(Options.Root, Problem) : nullptr;
            if (!RootVersions)
                return UsageError(Err, FormatStr(TStringId::sCmdRootUnusable, {MessageText(Options.Root), Problem}));
        }
        // The signature check reads the host's files, not those under the root.
        IVersionApi& FileVersions = RootVersions ? *RootVersions : Versions;
        const std::vector<TNodeData> Files = RateFiles(Options.Operands, FileVersions, RootVersions ? nullptr : Signatures);
        ReportUnreadDatabases(FileVersions, Err);
        bool Unexamined = false;
        std::string Text;
        for (const TNodeData& Data : Files) {
            if (Data.RiskLevel == rlUndetermined) {
                Unexamined = true;
                Err << kProgram << ": " << MessageText(Data.ImagePath) << ": " << Data.Remark << "\n";
            }
            if (Options.Json)
                Text += JsonFileLine(Data.ImagePath, Data, Snapshot);
        }
        const int Written = WriteOut(Out, Err, Options.Json ? Text : FilesListing(Files));
        return Written != kExitSuccess ? Written : Unexamined ? kExitFileUnexamined : kExitSuccess;
    }
    if (Options.Operands.size() > 1)
        return UsageError(Err, LoadStr(TStringId::sCmdOneReportFile));

    TStVersionInfo VersionInfo(nullptr, Versions);
    TCatalogue Catalogue(Processes, VersionInfo);
    // Only the JSON report tells the loaded libraries (the explanation is no field of the other).
    Catalogue.ListModules(Options.Json);
    Catalogue.ReloadCatalogue();
    if (Signatures && Signatures->Checks()) {
        TSignatureVerdicts Verdicts(*Signatures);
        for (const std::string& ImageFile : Catalogue.ImageFiles())
            Catalogue.SetSignature(ImageFile, Verdicts.Verdict(ImageFile));
    }
    if (Options.Json) {
        TModuleVerdicts Verdicts(Versions, Signatures);
        Catalogue.SetModuleVerdicts([&Verdicts](const std::string& File) { return Verdicts.Verdict(File); });
    }
    ReportUnreadDatabases(Versions, Err);
    const bool ToStandardOutput = Options.Operands.empty() || Options.Operands[0] == "-";
    if (Options.Json && ToStandardOutput) {
        // Written as it is made: with every library listed it runs to megabytes.
        std::string Reason;
        if (!WriteJsonReport(Catalogue, Snapshot, Options.Modules,
                             [&](std::string_view Piece) { return Out.Write(Piece, Reason); }))
            return WriteFailed(Err, Reason);
        return kExitSuccess;
    }
    const std::string Text =
        Options.Json ? JsonReportText(Catalogue, Snapshot, Options.Modules) : ReportText(Catalogue);
    if (ToStandardOutput)
        return WriteOut(Out, Err, Text);
    return WriteToFile(Options.Operands[0], Err, Text);
}

}  // namespace quorvane
