// Conversion of the UTF-8 texts of our sources into the system's 8-bit encoding.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Linux: UTF-8 unchanged. Windows: the ANSI code page; characters it lacks
// become the code page's default character.
std::string Utf8ToSystem(std::string_view Utf8);

// The other way: text in the system's 8-bit encoding as UTF-8. Linux: unchanged
// (which need not make it valid UTF-8: file names are bytes).
std::string SystemToUtf8(std::string_view Text);

}  // namespace quorvane

namespace quorvane {

// The system's message for the error of the C library or system call that
// just failed (errno on Linux, GetLastError on Windows), trimmed at both ends.
std::string LastSystemErrorText();

}  // namespace quorvane

namespace quorvane {

// Without the characters 0 to 32 at both ends (blanks, control characters and
// the line break that closes system messages).
std::string TrimSystemMessage(const std::string& Message);

}  // namespace quorvane
