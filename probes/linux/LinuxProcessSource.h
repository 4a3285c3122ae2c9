// The process source of the Linux build: everything from a /proc tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "catalogue/ProcessSource.h"
#include "probes/linux/ProcFiles.h"

namespace quorvane {

// Reads the processes under ProcRoot, which is "/proc" for the live system and
// a folder of their own for the tests.
//
// Image path: the target of ProcRoot/ID/exe, without the " (deleted)" that the
// kernel appends once the image's file is gone, so the folder shown is the one
// the program was started from. When that path does not name the running
// image here (the file was deleted or replaced; or the process lives in another
// mount namespace or below another root, where its path still names it),
// LastImageOrigin names a descriptor of the image that this source holds open
// until its next query ("/proc/self/fd/N"), so the version reader rates the
// image the process runs and never a different file that now bears its name.
// An image that lives in memory only ("/memfd:NAME") has no folder: its path
// is "memfd:NAME".
//
// A process may run another program (exec) between the walk, which names it
// after its image, and the image query: the query then answers false, with a
// remark that says so, rather than mix two programs in one record.
//
// Loaded libraries: while they are wanted, the image query reads the whole
// maps file (else only as far as the image's own mappings), and QueryModules
// answers the files mapped executable besides the image. A library whose file
// was deleted is read through /proc/ID/map_files (only root may); one that
// lives in memory only ("/memfd:NAME") has nothing to read. LD_PRELOAD comes
// from /proc/ID/environ, and PreloadFile (/etc/ld.so.preload) is read by
// each ListModules(true).
class TLinuxProcessSource final : public IProcessSource {
public:
    explicit TLinuxProcessSource(std::string ProcRoot = "/proc", std::string PreloadFile = "/etc/ld.so.preload");
    ~TLinuxProcessSource() override;
    TLinuxProcessSource(const TLinuxProcessSource&) = delete;
    TLinuxProcessSource& operator=(const TLinuxProcessSource&) = delete;

    std::string EnableDebugPrivilege() override;
    void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) override;
    bool QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize,
                        std::string& Remark) override;
    TImageOrigin LastImageOrigin() override { return FLastOrigin; }
    bool QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                           std::string& CpuTime, std::uint32_t& PriorityClass, std::string& Remark) override;
    TProcessTimes LastProcessTimes() override { return FLastTimes; }
    void ListModules(bool Wanted) override;
    TProcessModules QueryModules(std::uint32_t ProcessId) override;
    std::unique_ptr<IProcessSource> ModuleReader() const override;
    std::string HostName() override;

private:
    // What the walk read of one process it handed on. The image query that
    // follows takes the exe link's target, the times query the stat fields,
    // each once: a query repeated, or one for a process the last walk did not
    // hand on, reads the files anew.
    struct TWalkFacts {
        std::uint32_t Id = 0;
        proc::TStatFields Stat;
        std::string Exe;  // the exe link's target
        int ExeError = 0;  // errno of reading the link; 0 when Exe was read
        bool ExeTaken = false;
        bool StatTaken = false;
    };

    std::string ProcessPath(std::uint32_t ProcessId, const char* File) const;
    // The name as the walk hands it on: from the exe link, else argv[0], else comm.
    std::string ProcessName(std::uint32_t ProcessId, const TWalkFacts& Facts);
    TWalkFacts* WalkFactsOf(std::uint32_t ProcessId);
    // stat of the path of an image or a library, asked once per walk (many
    // processes share them); null when it fails.
    const struct stat* ImageFileStat(const std::string& Path);
    std::optional<std::uint64_t> BootTime();
    void CloseImageDescriptor();
    // True when the process sees the files under the paths this program sees
    // them: the same mount namespace and root folder.
    bool SharesOwnView(std::uint32_t ProcessId);

    std::string FRoot;
    long FClockTicks;  // clock ticks per second of the times in /proc/ID/stat
    std::optional<std::uint64_t> FBootTime;  // seconds since 1970; fixed while the system runs
    std::string FBuffer;  // reused by the reads of one walk
    TImageOrigin FLastOrigin;
    TProcessTimes FLastTimes;
    std::vector<TWalkFacts> FWalk;  // by ascending id
    std::unordered_map<std::string, std::optional<struct stat>> FImageFiles;
    std::optional<char> FTimeSeparator;  // of the locale, asked once per walk
    int FImageDescriptor = -1;  // the image that FLastOrigin.ContentPath names
    std::string FPreloadFile;
    bool FListModules = false;
    // Of the last successful image query while modules are wanted.
    std::uint32_t FMappedId = 0;
    std::vector<proc::TMappedFile> FMapped;
    std::vector<proc::TPreloadEntry> FSystemPreload;  // read by ListModules(true)
    std::optional<std::string> FOwnMountNamespace;  // asked once
};

}  // namespace quorvane
