// The report command: the live system's report without a window, and the
// rating of given files.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/NodeData.h"
#include "catalogue/ProcessSource.h"
#include "trust/Signature.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {

// Exit codes of the command.
constexpr int kExitSuccess = 0;
constexpr int kExitWriteFailed = 1;  // the report or the listing could not be written
constexpr int kExitFileUnexamined = 1;  // a file given to --files could not be examined
constexpr int kExitUsage = 2;  // unknown option or wrong arguments

// Where the command's output goes when no file is named: the program's
// standard output, or a text in the tests.
class IStandardOutput {
public:
    virtual ~IStandardOutput() = default;
    // Writes all of Text; false with the system's message in Reason.
    virtual bool Write(std::string_view Text, std::string& Reason) = 0;
};

// The version back-end for the files of another system under a root folder
// ("--root"): null, with the reason in Problem, when there is none.
using TRootedVersionApi = std::function<std::unique_ptr<IVersionApi>(const std::string& Root, std::string& Problem)>;

// Runs the command for Arguments (without the program's name). The report goes
// to the file named or, for "-" or no name, to Out; messages go to Err, names
// in them as MessageText shows them. The signatures of the image files are
// verified before anything is written; without Signatures they are not checked.
// Rooted serves "--root"; without it the option is refused.
// The JSON report also examines the libraries each process has loaded
// (Signatures, when given, identifies and verifies them).
int RunReportCommand(const std::vector<std::string>& Arguments, IProcessSource& Processes, IVersionApi& Versions,
                     IStandardOutput& Out, std::ostream& Err, ISignatureCheck* Signatures = nullptr,
                     const TRootedVersionApi& Rooted = {});

// "quorvane-report --files": one record per path, rated by the risk rule,
// with its explanation. A path that cannot be examined at all (missing,
// unreadable, a directory, a device) is rated undetermined, with the
// system's message as its remark. The signature of every file that can be
// examined is verified with Signatures, when given.
std::vector<TNodeData> RateFiles(const std::vector<std::string>& Paths, IVersionApi& Versions,
                                 ISignatureCheck* Signatures = nullptr);

// The tab-separated listing of rated files: the header and one line per
// file, each the path, the four version values, the remark, the rating and
// the explanation.
std::string FilesListing(const std::vector<TNodeData>& Files);

}  // namespace quorvane
