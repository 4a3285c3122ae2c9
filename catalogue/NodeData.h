// The per-process record behind each node of the catalogue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/FileTime.h"
#include "trust/ModuleVerdict.h"
#include "trust/Signature.h"

namespace quorvane {

// Danger rating. Unscoped, so that a stored value outside 0..4 stays representable.
enum TRiskLevel : std::uint8_t {
    rlUndetermined = 0,
    rlPotentiallyDangerous = 1,
    rlMediumDangerous = 2,
    rlSlightlyDangerous = 3,
    rlHarmless = 4,
};

// How a running image relates to the file at its path.
enum class TImageState : std::uint8_t {
    Unknown,  // not examined (the Windows build, or the image was not determined)
    Present,  // the file at the path is the running image
    Deleted,  // the image's file was deleted after the start; nothing is at its path
    Replaced,  // another file now has the image's path (an update, a bind mount)
    MemoryOnly,  // the image never had a file of its own (memfd)
};

// How a library came into a process before its program ran.
enum class TPreload : std::uint8_t {
    None,
    Environment,  // named by the process's LD_PRELOAD
    SystemFile,  // named by /etc/ld.so.preload
};

// A library loaded into a process besides its image: a shared object, a DLL,
// anything else mapped executable.
struct TLoadedModule {
    std::string Path;  // as the process names it; "memfd:NAME" for one that lives in memory only
    TImageState State = TImageState::Unknown;
    // Where its content can be read: Path itself, or a name that the system
    // keeps for the mapping (a deleted file, another mount namespace); empty
    // when there is nothing to read.
    std::string ContentPath;
    TPreload Preload = TPreload::None;
};

struct TModule {
    TLoadedModule File;
    TSharedModuleVerdict Verdict;  // never null
};

// The process times as numbers, for readers that compute with them (the JSON
// report); the texts of the record are for people. Each is set only where its
// text was written.
struct TProcessTimes {
    std::optional<TFileTime> StartUtc;  // creation: 100 ns units since 1601-01-01 00:00 UTC
    std::optional<TFileTime> Cpu;  // kernel plus user mode, in 100 ns units
    std::optional<TFileTime> Kernel;  // in 100 ns units
};

// Written by the probes (image, times, failure remarks) and by the reload
// (id, threads, version strings, rating). A new record is all empty and zero.
struct TNodeData {
    std::uint32_t ProcessId = 0;
    std::string ImagePath;  // normalised full path of the main module
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string LanguageName;
    std::string StartTime;  // local date and time of creation
    std::string CpuTime;  // "hh:nn:ss.zzz", kernel plus user mode
    std::string KernelTime;  // "hh:nn:ss.zzz"
    std::int32_t ThreadCount = 0;
    std::uint32_t ImageSize = 0;  // bytes of the main module image in memory
    std::uint32_t PriorityClass = 0;  // as the system reports it, 0 when not read
    TRiskLevel RiskLevel = rlUndetermined;
    std::string Remark;

    // Beyond what the sheet and the report show: why the record got its
    // rating (the window's tooltip, the JSON report).
    TImageState ImageState = TImageState::Unknown;
    std::string PackageName;  // the installed package that lists the image file
    std::string PackageVersion;
    std::string PackageManager;  // whose database lists it: "dpkg", "rpm", "pacman" or "apk"
    bool PackageVerified = false;  // the file's content matches the package's checksum
    TSignature Signature;  // of the image file; its sentence follows the rating's
    // The libraries loaded besides the image, where they were asked for; when
    // they could not be read, ModulesListed is false and ModulesProblem says
    // why. Their sentence ends the explanation.
    bool ModulesListed = false;
    bool ModulesAwaited = false;  // to be listed after the reload (the window)
    std::string ModulesProblem;
    std::vector<TModule> Modules;
    std::string Explanation;  // German, in the system's 8-bit encoding
    TProcessTimes Times;
};

}  // namespace quorvane
