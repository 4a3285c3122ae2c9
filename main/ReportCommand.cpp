#include "main/ReportCommand.h"

#include <ostream>

#include "catalogue/Catalogue.h"
#include "catalogue/Risk.h"
#include "report/Report.h"
#include "resources/StringTable.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

constexpr const char* kProgram = "quorvane-report";

// The text with its "%s" replaced by Argument.
std::string ReplaceArgument(std::string Text, const std::string& Argument) {
    const std::size_t At = Text.find("%s");
    return At == std::string::npos ? Text : Text.replace(At, 2, Argument);
}

int UsageError(std::ostream& Err, const std::string& Message) {
    Err << kProgram << ": " << Message << "\n" << LoadStr(TStringId::sCmdHelpHint) << kProgram << " --help\n";
    return kExitUsage;
}

int WriteOut(std::ostream& Out, std::ostream& Err, const std::string& Text) {
    Out << Text;
    Out.flush();
    if (!Out) {
        Err << kProgram << ": " << LoadStr(TStringId::sCmdCannotWriteOutput) << "\n";
        return kExitWriteFailed;
    }
    return kExitSuccess;
}

}  // namespace

std::string FilesListing(const std::vector<std::string>& Paths, IVersionApi& Versions) {
    TStVersionInfo VersionInfo(nullptr, Versions);
    std::string Text = LoadStr(TStringId::sFilesHeader);
    for (const std::string& Path : Paths) {
        TNodeData Data;
        Data.ImagePath = Path;
        if (Path.empty()) {
            // The reader takes an empty name for the running program; an empty
            // argument names no file, so it is rated as a file the reader cannot read.
            Data.RiskLevel = rlPotentiallyDangerous;
            Data.Remark = LoadStr(TStringId::sRemarkNoFileInfo);
        } else {
            ClassifyByVersionInfo(Data, VersionInfo);
        }
        AppendReportLine(Text, {Path, Data.CompanyName, Data.FileDescription, Data.FileVersion, Data.LanguageName,
                                Data.Remark, RiskName(Data)});
    }
    return Text;
}

int RunReportCommand(const std::vector<std::string>& Arguments, IProcessSource& Processes, IVersionApi& Versions,
                     std::ostream& Out, std::ostream& Err) {
    std::vector<std::string> Operands;
    bool ListFiles = false;
    bool OptionsEnded = false;
    for (const std::string& Argument : Arguments) {
        // Everything after --files is a path.
        if (OptionsEnded || (ListFiles && Argument != "--") || Argument == "-" || Argument.empty() ||
            Argument[0] != '-') {
            Operands.push_back(Argument);
        } else if (Argument == "--") {
            OptionsEnded = true;
        } else if (Argument == "--help" || Argument == "-h") {
            return WriteOut(Out, Err, LoadStr(TStringId::sCmdHelp));
        } else if (Argument == "--version") {
            return WriteOut(Out, Err, std::string(kProgram) + " " + QUORVANE_VERSION + "\n");
        } else if (Argument == "--files") {
            if (!Operands.empty())
                return UsageError(Err, LoadStr(TStringId::sCmdFilesBeforePaths));
            ListFiles = true;
        } else {
            return UsageError(Err, ReplaceArgument(LoadStr(TStringId::sCmdUnknownOption), Argument));
        }
    }

    if (ListFiles) {
        if (Operands.empty())
            return UsageError(Err, LoadStr(TStringId::sCmdFilesNeedPath));
        return WriteOut(Out, Err, FilesListing(Operands, Versions));
    }
    if (Operands.size() > 1)
        return UsageError(Err, LoadStr(TStringId::sCmdOneReportFile));

    TStVersionInfo VersionInfo(nullptr, Versions);
    TCatalogue Catalogue(Processes, VersionInfo);
    Catalogue.ReloadCatalogue();
    if (Operands.empty() || Operands[0] == "-")
        return WriteOut(Out, Err, ReportText(Catalogue));
    try {
        WriteReport(Catalogue, Operands[0]);
    } catch (const EFCreateError& Error) {
        Err << kProgram << ": " << Error.what() << "\n";
        return kExitWriteFailed;
    }
    return kExitSuccess;
}

}  // namespace quorvane
