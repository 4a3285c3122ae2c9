// The directory part of an image path, as the detail sheet and the report show it.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

#ifdef _WIN32
constexpr std::string_view kDirectorySeparators = "\\:";
#else
constexpr std::string_view kDirectorySeparators = "/";
#endif

// All characters up to and including the last separator; empty when there is none.
inline std::string DirectoryPart(const std::string& Path, std::string_view Separators = kDirectorySeparators) {
    const std::size_t Last = Path.find_last_of(Separators);
    return Last == std::string::npos ? std::string() : Path.substr(0, Last + 1);
}

}  // namespace quorvane
