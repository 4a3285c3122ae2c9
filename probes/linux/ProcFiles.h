// Parsers of the /proc texts the process source reads. Every input is
// untrusted text: a malformed or truncated file gives false, never a read
// outside the text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/ProcessSource.h"

namespace quorvane::proc {

// PF_KTHREAD in the flags field of /proc/ID/stat.
constexpr std::uint64_t kKernelThreadFlag = 0x00200000;

// The fields of /proc/ID/stat that the probes use. Counts of clock ticks.
// ParentId and Threads are the values that /proc/ID/status shows as PPid and
// Threads, and Name its Name (unescaped there, raw here); stat alone is read
// because status costs the kernel far more to write.
struct TStatFields {
    std::string Name;  // comm: the first 15 bytes of the program's name
    std::uint32_t ParentId = 0;
    std::int32_t Threads = 0;
    std::uint64_t Flags = 0;
    std::uint64_t UserTicks = 0;  // utime
    std::uint64_t SystemTicks = 0;  // stime
    std::int64_t Nice = 0;
    std::uint64_t StartTicks = 0;  // since boot
    std::uint32_t Policy = 0;  // 0 (SCHED_OTHER) when the kernel does not state it
};

// Parses the fields after the comm field, which ends at the LAST ')': the
// comm itself may hold blanks and parentheses.
bool ParseStat(std::string_view Text, TStatFields& Out);

// The btime line of /proc/stat (seconds since 1970) and the number of its
// "cpuN" lines, which lists the online processors.
std::optional<std::uint64_t> BootTime(std::string_view ProcStat);
int OnlineProcessors(std::string_view ProcStat);

// The image's extent in /proc/ID/maps: from the start of the first mapping
// whose path is ImagePath (as the exe link names it) to the end of the last
// one in the run of lines that follows it. A later mapping of the same file
// (a program that maps its own file to read it) is no part of the image.
// Malformed lines are ignored. Fed line by line, so that the reading can stop
// at the end of the run: the kernel writes the rest of the file only when read.
class TMappingExtent {
public:
    explicit TMappingExtent(std::string_view ImagePath);
    // Takes one line without its line break; false once the run has ended.
    bool Feed(std::string_view Line);
    // 0 when no mapping names the image.
    std::uint64_t Extent() const { return FHighest > FLowest ? FHighest - FLowest : 0; }
    // The device (major, minor) and inode of the file the first mapping of the
    // image maps, as the kernel states them; false when none was found.
    bool FileIdentity(std::uint32_t& Major, std::uint32_t& Minor, std::uint64_t& Inode) const;
    // True when the image is the first file that the lines fed map: a
    // process's program is, and after an exec another program's file would be.
    bool FirstFileMapped() const { return FStarted && FFilesBefore == 0; }

private:
    std::string FWanted;
    std::uint32_t FMajor = 0;
    std::uint32_t FMinor = 0;
    std::uint64_t FInode = 0;
    bool FHasIdentity = false;
    std::uint32_t FFilesBefore = 0;  // mappings of other files before the image's
    std::uint64_t FLowest = 0;
    std::uint64_t FHighest = 0;
    bool FStarted = false;
    bool FEnded = false;
};

// The extent of a whole maps text.
std::uint64_t MappingExtent(std::string_view Maps, std::string_view ImagePath);

// A file that a process maps executable, as its maps file names it.
struct TMappedFile {
    std::string Path;  // a line break, which the kernel writes as "\012", read back
    std::uint32_t Major = 0;  // the device and inode that the kernel states
    std::uint32_t Minor = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Start = 0;  // its first executable mapping, which /proc/ID/map_files/START-END names
    std::uint64_t End = 0;
};

// The files other than the image that the lines of a maps file map
// executable (shared objects, and whatever else is mapped so), each once by
// path and identity, in the order of their first executable mapping.
// ImagePath is the image as the exe link names it. Malformed lines and
// mappings without a file are left out.
class TExecutableMappings {
public:
    explicit TExecutableMappings(std::string_view ImagePath);
    void Feed(std::string_view Line);
    const std::vector<TMappedFile>& Files() const& { return FFiles; }
    std::vector<TMappedFile> Files() && { return std::move(FFiles); }

private:
    std::string FImage;  // as the maps file writes it
    std::vector<TMappedFile> FFiles;
};

// The libraries that a list of preloaded libraries names, split as the
// dynamic loader splits it: at blanks, tabs, line breaks and colons. In
// /etc/ld.so.preload (Comments) a "#" starts a comment that ends with its line.
std::vector<std::string> PreloadList(std::string_view Text, bool Comments);

// A preloaded library as its list names it, and the file that the name
// opens (empty for a bare name, which the loader looks for in its folders).
struct TPreloadEntry {
    std::string Name;
    std::string Resolved;
};

// True when Entry names the library loaded from Path.
bool NamesLibrary(const TPreloadEntry& Entry, std::string_view Path);

// The LD_PRELOAD list of an environment as /proc/ID/environ holds it
// ("NAME=value" entries ended by NULs); empty when it has none.
std::string_view PreloadVariable(std::string_view Environment);

// The Windows priority class that a scheduling policy and nice value stand for.
std::uint32_t PriorityClassOf(std::uint32_t Policy, std::int64_t Nice);

// What the target of a process's exe link says about its image. TargetIsImage:
// the target opens the same file as the link. Exists tells whether a path
// names a file now. The kernel appends " (deleted)" to the target once the
// image's file is gone; an image without a file of its own is "/memfd:NAME".
TImageOrigin ImageOriginOf(std::string_view Target, bool TargetIsImage,
                           const std::function<bool(const std::string&)>& Exists);

// The image path that a target in State stands for: the path the image was
// started from, without " (deleted)"; "memfd:NAME" for an image in memory,
// which has no folder.
std::string ImagePathOf(std::string_view Target, TImageState State);

// The last path component; the whole text when it has no '/'.
std::string_view LastComponent(std::string_view Path);

}  // namespace quorvane::proc
