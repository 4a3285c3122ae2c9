#include "report/Report.h"

#include <cstdio>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/PathText.h"
#include "catalogue/Risk.h"
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

std::string FormatMessage(const std::string& Format, const std::string& First, const std::string& Second) {
    // The format holds two "%s"; anything else in it stays as it is.
    std::string Text;
    const std::string* Arguments[] = {&First, &Second};
    std::size_t Next = 0;
    for (std::size_t I = 0; I < Format.size(); ++I) {
        if (Format.compare(I, 2, "%s") == 0 && Next < 2) {
            Text += *Arguments[Next++];
            ++I;
        } else {
            Text += Format[I];
        }
    }
    return Text;
}

}  // namespace

std::string ReportField(const std::string& Value) {
    std::string Field = Value;
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
    std::string Error;
    if (!WriteWholeFile(FileName, ReportText(Catalogue), Error))
        throw EFCreateError(
            FormatMessage(LoadStr(TStringId::sReportCannotCreate), ExpandFileName(FileName), Error));
}

}  // namespace quorvane
