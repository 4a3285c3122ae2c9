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

// The one rule for texts from outside (file and process names, paths, package
// fields) where they leave the program: the records keep the raw bytes (a
// path is also a name to open), and every output escapes them here. A byte
// that the system's encoding cannot show becomes the four characters "\xNN"
// (lower-case hex): on Linux each byte that is no part of valid UTF-8; on
// Windows none, as every byte of the ANSI code page is a character. Used by
// the report, the file listing and the JSON report.
std::string OutputText(std::string_view Text);

// As OutputText, and the control characters (below 0x20, and 0x7F) become
// "\xNN" too: for standard error and messages, where a name must neither
// break the line nor reach the terminal as a command.
std::string MessageText(std::string_view Text);

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
