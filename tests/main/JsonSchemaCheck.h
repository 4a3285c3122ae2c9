// Holds JSON Lines to docs/report-json.schema.json with a real validator
// (tests/main/validate-json-lines.py, over Debian's python3-jsonschema).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvane::testing {

// Empty when every line conforms; otherwise what the validator says.
inline std::string SchemaViolations(const std::string& JsonLines) {
    char Lines[] = "/tmp/quorvane-json-XXXXXX";
    const int Fd = ::mkstemp(Lines);
    if (Fd < 0)
        return "no temporary file";
    const bool Written = ::write(Fd, JsonLines.data(), JsonLines.size()) == static_cast<ssize_t>(JsonLines.size());
    ::close(Fd);
    const std::string Said = std::string(Lines) + ".out";
    const auto Quoted = [](const std::string& Path) { return "'" + Path + "'"; };  // the build's own paths
    const int Status = std::system((Quoted(QUORVANE_JSON_VALIDATOR) + " " + Quoted(QUORVANE_JSON_SCHEMA) + " " +
                                    Lines + " >" + Said + " 2>&1")
                                       .c_str());
    std::ifstream Output(Said);
    std::string Violations((std::istreambuf_iterator<char>(Output)), {});
    std::remove(Lines);
    std::remove(Said.c_str());
    if (!Written)
        return "the lines could not be written";
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
        return Violations.empty() ? "the validator failed with status " + std::to_string(Status) : Violations;
    return {};
}

}  // namespace quorvane::testing
