// Writing a file as a whole, so that a failure never leaves a partial file.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Why a write failed: the system's message, and the step it failed at.
struct TWriteFailure {
    enum TStep {
        Create,  // the file could not be made, opened or put in place
        Write,  // the file was there and open, but writing into it failed
    };
    TStep Step = Create;
    std::string Reason;
};

// Stores Contents under FileName without ever losing what was there: a failed
// write leaves the previous file whole (or no file where there was none). A
// new or replaced file is written beside the target and renamed over it where
// that keeps the file as it was (owner, group, mode, links); otherwise it is
// written in place. Links are followed to their final target, which is made
// when it does not exist. A target that is no regular file (a terminal, a
// pipe, a device, a descriptor named by path such as /dev/stdout) is written
// directly and never truncated. A file the system would not let the caller
// truncate is refused. Answers false with the system's message in Failure.
bool WriteWholeFile(const std::string& FileName, std::string_view Contents, TWriteFailure& Failure);

// Writes all of Contents to the program's standard output, unbuffered and
// unconverted; false with the system's message in Reason.
bool WriteStandardOutput(std::string_view Contents, std::string& Reason);

// Linux: a standard descriptor (0, 1, 2) that the caller left closed would be
// the next file the program opens, and the report meant for standard output
// would land in it. Each closed one is held by /dev/null opened the wrong way
// round, so that using it still fails as on a closed descriptor. Nothing on
// Windows, whose handles are not reused so.
void HoldClosedStandardDescriptors();

}  // namespace quorvane

namespace quorvane {

// FileName as an absolute path (against the current folder); unchanged when
// the current folder cannot be determined.
std::string ExpandFileName(const std::string& FileName);

}  // namespace quorvane
