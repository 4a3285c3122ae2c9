// What the catalogue needs of the operating system. One implementation per
// OS (probes/linux, probes/win32); the tests supply fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/NodeData.h"

namespace quorvane {

struct TProcessEntry {
    std::string ExeFile;  // executable name without directory
    std::uint32_t ProcessId = 0;
    std::uint32_t ParentProcessId = 0;
    std::int32_t Threads = 0;
};

struct TImageOrigin {
    TImageState State = TImageState::Unknown;
    // Where the running image can still be read when the path no longer names
    // it; empty when it is read under the image path. It may name something
    // the source holds for this answer only: it is valid until the source's
    // next query, and may name another image after that.
    std::string ContentPath;
};

// What the processes a source lists have loaded besides their images.
struct TProcessModules {
    bool Listed = false;  // false: the list could not be read, and Problem says why
    std::string Problem;  // the system's message
    std::vector<TLoadedModule> Modules;  // each file once, in the order the system lists them
    // The program the process ran when the list was read, named as the image
    // query names it; empty where the source does not say (a Windows process
    // never changes its program).
    std::string ImagePath;
};

class IProcessSource {
public:
    virtual ~IProcessSource() = default;

    // Empty on success, otherwise a short status text. Never fails the reload.
    virtual std::string EnableDebugPrivilege() = 0;

    // Calls Visit for every running process in the platform's order, unfiltered
    // and unsorted; no call at all when no snapshot can be taken.
    virtual void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) = 0;

    // On success writes ImagePath (normalised, usable as a file name) and
    // ImageSize and answers true. On failure may write the system's message to
    // Remark. Outputs that are not written keep their values.
    virtual bool QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize,
                                std::string& Remark) = 0;

    // How the image of the last successful QueryImageFile relates to the
    // path it gave. A source that does not examine it answers Unknown.
    virtual TImageOrigin LastImageOrigin() { return {}; }

    // Whether the libraries that the processes have loaded are wanted: set
    // before a walk, it holds for the queries that follow it. A source that
    // reads them in the image query (Linux: the whole maps file instead of the
    // image's lines) reads more while they are wanted.
    virtual void ListModules(bool Wanted) { (void)Wanted; }

    // The libraries loaded into the process besides its image, asked right
    // after its successful QueryImageFile while ListModules is set. A source
    // that does not tell them answers none, and Listed false.
    virtual TProcessModules QueryModules(std::uint32_t ProcessId) {
        (void)ProcessId;
        return {};
    }

    // A source of the same processes for another thread, made for each
    // reload: a window lists the libraries there rather than in its reload.
    // ListModules(true) reads what holds for all processes, and QueryModules
    // then serves any process. None from a source whose libraries are told
    // only in the reload.
    virtual std::unique_ptr<IProcessSource> ModuleReader() const { return nullptr; }

    // Writes the start time, kernel and CPU time texts and the priority class;
    // on a failed first step the system's message to Remark. Values written
    // before a later failure stay written.
    virtual bool QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                                   std::string& CpuTime, std::uint32_t& PriorityClass, std::string& Remark) = 0;

    // The times that the last QueryProcessTimes wrote, as numbers. A source
    // that does not tell them answers none.
    virtual TProcessTimes LastProcessTimes() { return {}; }

    // The name of the machine whose processes the source lists; empty when unknown.
    virtual std::string HostName() { return {}; }
};

// Receives the icon of each probed image file; the window provides it.
class IIconSink {
public:
    virtual ~IIconSink() = default;
    // Adds the file's icon to both image lists and answers its index.
    virtual int AddProcessIcon(const std::string& FilePath) = 0;
};

}  // namespace quorvane
