// The report command: the live system's report without a window, and the
// rating of given files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "catalogue/ProcessSource.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

// Exit codes of the command.
constexpr int kExitSuccess = 0;
constexpr int kExitWriteFailed = 1;  // the report or the listing could not be written
constexpr int kExitUsage = 2;  // unknown option or wrong arguments

// Runs the command for Arguments (without the program's name). The report goes
// to the file named or, for "-" or no name, to Out; messages go to Err.
int RunReportCommand(const std::vector<std::string>& Arguments, IProcessSource& Processes, IVersionApi& Versions,
                     std::ostream& Out, std::ostream& Err);

// "quorvane-report --files": the header and one line per file, each the path,
// the four version values, and the remark and rating the risk rule gives.
std::string FilesListing(const std::vector<std::string>& Paths, IVersionApi& Versions);

}  // namespace quorvane
