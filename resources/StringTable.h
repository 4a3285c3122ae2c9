// The program's string table (rows in resources/strings.def).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quorvane {

enum class TStringId : int {
#define QSTR(Name, Id, Text) Name = Id,
#include "resources/strings.def"
#undef QSTR
};

// The text of a row in the system's 8-bit encoding (UTF-8 on Linux, the ANSI
// code page on Windows). The reference stays valid for the program's lifetime.
const std::string& LoadStr(TStringId Id);

// The text of a row with each "%s" replaced by the next of Arguments, which
// are in the same encoding; a "%s" beyond them stays as it is.
std::string FormatStr(TStringId Id, std::initializer_list<std::string_view> Arguments);

}  // namespace quorvane
