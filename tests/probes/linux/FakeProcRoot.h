// A /proc tree in a temporary folder, with the files the process source reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvane::testing {

struct TFakeProcess {
    std::uint32_t Id = 0;
    std::uint32_t ParentId = 1;
    std::int32_t Threads = 1;
    std::string Comm = "prog";  // comm of stat and Name of status
    std::uint64_t Flags = 0x00400100;
    std::uint64_t UserTicks = 0;
    std::uint64_t SystemTicks = 0;
    std::int64_t Nice = 0;
    std::uint64_t StartTicks = 0;
    std::uint32_t Policy = 0;
    std::optional<std::string> Exe;  // target of the exe link; no link when absent
    std::string CommandLine;  // NUL-separated arguments
    std::string Maps;
    std::string Environment;  // NUL-separated "NAME=value" entries
    bool HasStat = true;
    bool HasStatus = true;
    bool HasMaps = true;
};

class TFakeProcRoot {
public:
    TFakeProcRoot();
    ~TFakeProcRoot();
    TFakeProcRoot(const TFakeProcRoot&) = delete;
    TFakeProcRoot& operator=(const TFakeProcRoot&) = delete;

    const std::filesystem::path& Proc() const { return FProc; }
    // A folder beside the tree for image files.
    const std::filesystem::path& Files() const { return FFiles; }

    // Writes /proc/stat with btime and one "cpuN" line per processor.
    void WriteSystemStat(std::uint64_t BootTime, int Processors);
    // Writes the folder of the process, replacing one of the same id.
    void Add(const TFakeProcess& Process);
    // A regular file in Files(); answers its full path.
    std::string AddFile(const std::string& Name, const std::string& Contents = "image");

    static std::string StatText(const TFakeProcess& Process);
    // One line of a maps file for the given range and path.
    static std::string MapsLine(std::uint64_t Start, std::uint64_t End, const std::string& Path);

private:
    std::filesystem::path FTop;
    std::filesystem::path FProc;
    std::filesystem::path FFiles;
};

}  // namespace quorvane::testing
