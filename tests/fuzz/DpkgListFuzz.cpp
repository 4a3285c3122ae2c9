// libFuzzer target: the parsers of the dpkg database's path lists, the list
// file of a package and the diversions file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "packages/dpkg/DpkgDatabase.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    return {Bytes("/.\n/bin\n/bin/werkzeug\n/usr/share/werkzeug/\nrelative\n/usr/share/a\tb\r\n/usr/lib/x/libding.so"),
            Bytes("/usr/bin/tool\n/usr/bin/tool.distrib\nother\n/etc/local\n/etc/local.orig\n:\n/x\n")};
}

}  // namespace quorvane::fuzz

namespace {

// What the index relies on for every path handed on.
void CheckPath(std::string_view Path) {
    if (Path.empty() || Path.front() != '/' || Path.back() == '/' ||
        Path.find_first_of(std::string_view("\t\r\n\0", 4)) != std::string_view::npos)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    quorvane::dpkg::ParseList(Text, CheckPath);
    for (const quorvane::dpkg::TDiversion& Diversion : quorvane::dpkg::ParseDiversions(Text)) {
        CheckPath(Diversion.From);
        CheckPath(Diversion.To);
        if (Diversion.Package == ":")
            __builtin_trap();
    }
    return 0;
}
