// The tab-separated report of the catalogue.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/Exception.h"

namespace quorvane {

class TCatalogue;

// The report file could not be stored.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// The file could not be created (made, opened or put in place).
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The file was there, but writing into it failed (a full disk, a pipe without
// a reader).
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A value as a report field: as OutputText writes it (a byte that is no
// valid UTF-8 as "\xNN" on Linux), and TAB, CR and LF, which would break the
// rows and columns, as blanks.
std::string ReportField(const std::string& Value);

// Appends one line of fields as the report writes them: each through
// ReportField, TAB between them, CR LF at the end.
void AppendReportLine(std::string& Text, std::initializer_list<std::string> Fields);

// The whole report as it is written: header, then one line per node in tree order.
std::string ReportText(const TCatalogue& Catalogue);

// Writes the report to FileName, as WriteReportFile.
void WriteReport(const TCatalogue& Catalogue, const std::string& FileName);

// Writes Text to FileName, replacing a file of that name only once the text is
// complete; on failure no file under FileName changes. Raises EFCreateError
// with "Datei "<name>" kann nicht erstellt werden. <system message>", or
// EWriteError with "... kann nicht geschrieben werden. ..." when the file was
// there but a write into it failed. The name is the full one, as MessageText
// shows it.
void WriteReportFile(const std::string& FileName, std::string_view Text);

}  // namespace quorvane
