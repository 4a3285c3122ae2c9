// /proc/ID/maps and the image path looked for in it: the input's first line
// is the path, the rest the maps text, fed whole and line by line, and for the
// libraries besides the image; the same text as a preload list and as an
// environment.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSeeds.h"
#include "probes/linux/FakeProcRoot.h"
#include "probes/linux/ProcFiles.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    using quorvane::testing::TFakeProcRoot;
    const std::string Path = "/usr/bin/prog (deleted)";
    const std::string Maps = TFakeProcRoot::MapsLine(0x400000, 0x401000, Path) +
                             TFakeProcRoot::MapsLine(0x401000, 0x405000, Path) +
                             TFakeProcRoot::MapsLine(0x405000, 0x406000, "") +
                             TFakeProcRoot::MapsLine(0x7f0000000000, 0x7f0000001000, "/usr/lib/libc.so.6") +
                             TFakeProcRoot::MapsLine(0x7f0000002000, 0x7f0000003000, Path);
    return {Bytes(Path + "\n" + Maps), Bytes("/x\n0-1 r 0 0:0 0 /x\nzz-zz\n")};
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    using namespace quorvane::proc;
    std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    const std::size_t Break = Text.find('\n');
    const std::string_view Path = Text.substr(0, Break);
    const std::string_view Maps = Break == std::string_view::npos ? std::string_view() : Text.substr(Break + 1);
    const std::uint64_t Whole = MappingExtent(Maps, Path);
    TMappingExtent Fed(Path);
    TExecutableMappings Libraries(Path);
    bool Running = true;
    for (std::size_t Begin = 0; Begin < Maps.size();) {
        const std::size_t End = std::min(Maps.find('\n', Begin), Maps.size());
        Running = Running && Fed.Feed(Maps.substr(Begin, End - Begin));
        Libraries.Feed(Maps.substr(Begin, End - Begin));
        Begin = End + 1;
    }
    // Both ways of reading must agree.
    if (Fed.Extent() != Whole)
        __builtin_trap();
    for (const TMappedFile& File : Libraries.Files())
        if (File.Path.empty() || File.Path.front() != '/' || File.End < File.Start)
            __builtin_trap();
    for (const std::string& Entry : PreloadList(Text, true))
        if (Entry.empty() || Entry.find_first_of(" \t\n:#") != std::string::npos)
            __builtin_trap();
    for (const std::string& Entry : PreloadList(PreloadVariable(Text), false))
        NamesLibrary(TPreloadEntry{Entry, {}}, Path);
    return 0;
}
