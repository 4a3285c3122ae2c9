#include "report/Report.h"

#include "catalogue/Catalogue.h"
#include "catalogue/PathText.h"
#include "catalogue/Risk.h"
#include "common/SystemText.h"
#include "common/WholeFile.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

void AppendLine(std::string& Text, const TCatalogueNode& Node) {
    static const TNodeData kEmpty;
    const TNodeData& Data = Node.Data() ? *Node.Data() : kEmpty;
    AppendReportLine(Text, {
        Node.Text,
        DirectoryPart(Data.ImagePath),
        Data.CompanyName,
        Data.FileDescription,
        Data.FileVersion,
        std::to_string(Data.ProcessId),
        Node.Parent() ? Node.Parent()->Text : std::string("-"),
        Data.StartTime,
        Data.CpuTime,
        Data.KernelTime,
        std::to_string(Data.ThreadCount),
        PriorityName(Data),
        std::to_string(Data.ImageSize),
        Data.Remark,
        RiskName(Data),
    });
}

}  // namespace

std::string ReportField(const std::string& Value) {
    std::string Field = OutputText(Value);
    for (char& C : Field)
        if (C == '\t' || C == '\r' || C == '\n')
            C = ' ';
    return Field;
}

void AppendReportLine(std::string& Text, std::initializer_list<std::string> Fields) {
    bool First = true;
    for (const std::string& Field : Fields) {
        if (!First)
            Text += '\t';
        First = false;
        Text += ReportField(Field);
    }
    Text += "\r\n";
}

std::string ReportText(const TCatalogue& Catalogue) {
    std::string Text = LoadStr(TStringId::sReportHeader);
    for (const TCatalogueNode* Node : Catalogue.TreeOrder())
        AppendLine(Text, *Node);
    return Text;
}

void WriteReport(const TCatalogue& Catalogue, const std::string& FileName) {
    WriteReportFile(FileName, ReportText(Catalogue));
}

void WriteReportFile(const std::string& FileName, std::string_view Text) {
    TWriteFailure Failure;
    if (WriteWholeFile(FileName, Text, Failure))
        return;
    const std::string Name = MessageText(ExpandFileName(FileName));
    if (Failure.Step == TWriteFailure::Write)
        throw EWriteError(FormatStr(TStringId::sReportCannotWrite, {Name, Failure.Reason}));
    throw EFCreateError(FormatStr(TStringId::sReportCannotCreate, {Name, Failure.Reason}));
}

}  // namespace quorvane
