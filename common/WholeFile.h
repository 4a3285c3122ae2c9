// Writing a file as a whole, so that a failure never leaves a partial file.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Stores Contents under FileName. The bytes go to a temporary file in the same
// folder, which replaces FileName only once all of them are written, so a
// failed write neither leaves a truncated file under that name nor destroys the
// file that was there. A link is followed (the link stays); an existing target
// that is no regular file (a device, a pipe) is written directly. Answers false
// with the system's message for the failure in Error.
bool WriteWholeFile(const std::string& FileName, std::string_view Contents, std::string& Error);

}  // namespace quorvane

namespace quorvane {

// FileName as an absolute path (against the current folder); unchanged when
// the current folder cannot be determined.
std::string ExpandFileName(const std::string& FileName);

}  // namespace quorvane
