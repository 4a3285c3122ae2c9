// The tab-separated report of the catalogue.
#pragma once

#include <initializer_list>
#include <string>

#include "common/Exception.h"

namespace quorvane {

class TCatalogue;

// The report could not be created or not be written completely.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// A value as a report field: TAB, CR and LF, which would break the rows and
// columns, become blanks.
std::string ReportField(const std::string& Value);

// Appends one line of fields as the report writes them: each through
// ReportField, TAB between them, CR LF at the end.
void AppendReportLine(std::string& Text, std::initializer_list<std::string> Fields);

// The whole report as it is written: header, then one line per node in tree order.
std::string ReportText(const TCatalogue& Catalogue);

// Writes the report to FileName, replacing a file of that name only once the
// report is complete. Raises EFCreateError with "Datei "<name>" kann nicht
// erstellt werden. <system message>"; on failure no file under FileName changes.
void WriteReport(const TCatalogue& Catalogue, const std::string& FileName);

}  // namespace quorvane
