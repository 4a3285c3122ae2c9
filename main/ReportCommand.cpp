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

constexpr const char* kHelp =
    "Aufruf:\n"
    "  quorvane-report [DATEI | -]\n"
    "      Lädt die laufenden Prozesse und schreibt den Report in DATEI: eine Zeile je\n"
    "      Prozess, Felder durch Tabulatoren getrennt, Zeilenende CR LF. Ohne DATEI oder\n"
    "      mit \"-\" geht der Report auf die Standardausgabe. Eine vorhandene Datei wird\n"
    "      ersetzt, sobald der Report vollständig ist.\n"
    "  quorvane-report --files PFAD...\n"
    "      Bewertet die genannten Dateien und schreibt auf die Standardausgabe je Datei\n"
    "      eine Zeile: Pfad, Hersteller, Beschreibung, Version, Sprache, Hinweis und\n"
    "      Virengefahr, im Format des Reports.\n"
    "  quorvane-report --help\n"
    "      Zeigt diese Hilfe.\n"
    "\n"
    "\"--\" beendet die Optionen (für einen Dateinamen, der mit \"-\" beginnt).\n"
    "Rückgabewert: 0 bei Erfolg, 1 wenn die Ausgabe nicht geschrieben werden kann,\n"
    "2 bei falschen Argumenten.\n";

int UsageError(std::ostream& Err, const std::string& Message) {
    Err << kProgram << ": " << Message << "\n" << "Hilfe: " << kProgram << " --help\n";
    return kExitUsage;
}

int WriteOut(std::ostream& Out, std::ostream& Err, const std::string& Text) {
    Out << Text;
    Out.flush();
    if (!Out) {
        Err << kProgram << ": Die Standardausgabe kann nicht geschrieben werden.\n";
        return kExitWriteFailed;
    }
    return kExitSuccess;
}

void AppendFields(std::string& Text, std::initializer_list<std::string> Fields) {
    bool First = true;
    for (const std::string& Field : Fields) {
        if (!First)
            Text += '\t';
        First = false;
        Text += ReportField(Field);
    }
    Text += "\r\n";
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
        AppendFields(Text, {Path, Data.CompanyName, Data.FileDescription, Data.FileVersion, Data.LanguageName,
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
            return WriteOut(Out, Err, kHelp);
        } else if (Argument == "--files") {
            if (!Operands.empty())
                return UsageError(Err, "--files steht vor den Pfaden der Dateien.");
            ListFiles = true;
        } else {
            return UsageError(Err, "Unbekannte Option \"" + Argument + "\".");
        }
    }

    if (ListFiles) {
        if (Operands.empty())
            return UsageError(Err, "--files erwartet mindestens einen Pfad.");
        return WriteOut(Out, Err, FilesListing(Operands, Versions));
    }
    if (Operands.size() > 1)
        return UsageError(Err, "Nur ein Dateiname für den Report (oder \"-\").");

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
