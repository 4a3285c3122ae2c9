// The /proc texts of one process's stat and of the system's stat, and the
// escaping of names for messages: always valid UTF-8 without control characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Utf8.h"
#include "fuzz/FuzzSeeds.h"
#include "probes/linux/FakeProcRoot.h"
#include "probes/linux/ProcFiles.h"

namespace quorvane::fuzz {

std::vector<TInput> FuzzSeeds() {
    testing::TFakeProcess Process;
    Process.Id = 4711;
    Process.Comm = "a) b (c";
    Process.Nice = -5;
    Process.Policy = 1;
    std::vector<TInput> Seeds{Bytes(testing::TFakeProcRoot::StatText(Process))};
    testing::TFakeProcess Kernel;
    Kernel.Id = 2;
    Kernel.Comm = "kthreadd";
    Kernel.Flags = proc::kKernelThreadFlag;
    Seeds.push_back(Bytes(testing::TFakeProcRoot::StatText(Kernel)));
    Seeds.push_back(Bytes("cpu  10 0 20 300 0 0 0 0 0 0\ncpu0 5 0 10 150 0 0 0 0 0 0\n"
                          "cpu1 5 0 10 150 0 0 0 0 0 0\nintr 1 2\nbtime 1700000000\nprocesses 99\n"));
    Seeds.push_back(Bytes("Zo\xC3\xAB \xFF\xC3 \xF0\x9F\x98\x80"));
    return Seeds;
}

}  // namespace quorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    using namespace quorvane::proc;
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    TStatFields Fields;
    if (ParseStat(Text, Fields))
        PriorityClassOf(Fields.Policy, Fields.Nice);
    BootTime(Text);
    OnlineProcessors(Text);
    LastComponent(Text);
    const std::string Shown = quorvane::EscapeBytes(Text, {.InvalidUtf8 = true, .Controls = true});
    for (std::size_t I = 0; I < Shown.size();) {
        const std::size_t Length = quorvane::Utf8SequenceLength(Shown, I);
        const auto Byte = static_cast<unsigned char>(Shown[I]);
        if (Length == 0 || Byte < 0x20 || Byte == 0x7F)
            __builtin_trap();
        I += Length;
    }
    return 0;
}
