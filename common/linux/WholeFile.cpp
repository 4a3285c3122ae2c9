#include "common/WholeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

std::string ErrnoText(int Error) {
    char Buffer[256];
    return strerror_r(Error, Buffer, sizeof Buffer);
}

// Closes the descriptor it holds on every way out.
class TDescriptor {
public:
    explicit TDescriptor(int Fd = -1) : FFd(Fd) {}
    ~TDescriptor() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Fd() const { return FFd; }
    // Closes now, answering the close's errno (0 when it succeeded).
    int Close() {
        const int Fd = FFd;
        FFd = -1;
        return Fd >= 0 && ::close(Fd) != 0 ? errno : 0;
    }

private:
    int FFd;
};

// Writes all of Contents at the descriptor's position (or at Offset when
// given); answers 0 or the errno of the failure.
int WriteAll(int Fd, std::string_view Contents, std::optional<off_t> Offset = std::nullopt) {
    while (!Contents.empty()) {
        const ssize_t Written = Offset ? ::pwrite(Fd, Contents.data(), Contents.size(), *Offset)
                                       : ::write(Fd, Contents.data(), Contents.size());
        if (Written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (Written == 0)  // no progress and no error: treat as a full device
            return ENOSPC;
        Contents.remove_prefix(static_cast<std::size_t>(Written));
        if (Offset)
            *Offset += Written;
    }
    return 0;
}

std::string FolderOf(const std::string& Path) {
    const std::size_t Slash = Path.rfind('/');
    if (Slash == std::string::npos)
        return ".";
    return Slash == 0 ? "/" : Path.substr(0, Slash);
}

// The descriptor of this process that Name reaches through its descriptor
// folder (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N), if any.
std::optional<int> OwnDescriptor(std::string Name) {
    const std::string Own = "/proc/" + std::to_string(::getpid()) + "/fd";
    for (int Hop = 0; Hop < 40; ++Hop) {
        char Folder[PATH_MAX];
        const std::size_t Slash = Name.rfind('/');
        const std::string Base = Slash == std::string::npos ? Name : Name.substr(Slash + 1);
        if (::realpath(FolderOf(Name).c_str(), Folder) && Folder == Own && !Base.empty() &&
            Base.find_first_not_of("0123456789") == std::string::npos && Base.size() < 10)
            return std::atoi(Base.c_str());
        char Target[PATH_MAX];
        const ssize_t Length = ::readlink(Name.c_str(), Target, sizeof Target - 1);
        if (Length <= 0)
            return std::nullopt;
        const std::string Next(Target, static_cast<std::size_t>(Length));
        Name = Next[0] == '/' ? Next : FolderOf(Name) + "/" + Next;
    }
    return std::nullopt;
}

// The path a write to Name lands in: the end of its chain of links, also when
// that end does not exist yet (the file is then made there, and the links stay).
std::string FinalTarget(std::string Name) {
    for (int Hop = 0; Hop < 40; ++Hop) {
        char Target[PATH_MAX];
        const ssize_t Length = ::readlink(Name.c_str(), Target, sizeof Target - 1);
        if (Length <= 0)
            return Name;
        const std::string Next(Target, static_cast<std::size_t>(Length));
        Name = Next[0] == '/' ? Next : FolderOf(Name) + "/" + Next;
    }
    return Name;  // a loop of links: the open below reports it
}

bool Fail(int Errno, TWriteFailure::TStep Step, TWriteFailure& Failure) {
    Failure.Step = Step;
    Failure.Reason = ErrnoText(Errno);
    return false;
}

// A terminal, a pipe, a device or a descriptor the shell opened: written where
// it stands, never truncated or replaced (a shell's ">>" stays an append).
bool WriteToDescriptor(int Fd, std::string_view Contents, TWriteFailure& Failure) {
    const int Errno = WriteAll(Fd, Contents);
    return Errno == 0 || Fail(Errno, TWriteFailure::Write, Failure);
}

// Writes over the existing file itself: same inode, so its owner, group, mode,
// hard links and other attributes stay. The new text goes over the old one
// and only then is the rest cut off; if a write fails, the old text (read
// first) is put back, so the previous report stays whole.
bool WriteInPlace(int Fd, const std::string& Target, std::string_view Contents, TWriteFailure& Failure) {
    std::string Old;
    bool Restorable = false;
    {
        const TDescriptor Reader(::open(Target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (Reader.Fd() >= 0) {
            char Buffer[65536];
            ssize_t Got;
            while ((Got = ::read(Reader.Fd(), Buffer, sizeof Buffer)) > 0 || (Got < 0 && errno == EINTR))
                if (Got > 0)
                    Old.append(Buffer, static_cast<std::size_t>(Got));
            Restorable = Got == 0;
        }
    }
    int Errno = WriteAll(Fd, Contents, 0);
    if (Errno == 0 && ::ftruncate(Fd, static_cast<off_t>(Contents.size())) != 0)
        Errno = errno;
    if (Errno == 0 && ::fsync(Fd) != 0 && errno != EINVAL)
        Errno = errno;
    if (Errno != 0 && Restorable) {
        // The old text fits where it was: its blocks are still allocated.
        WriteAll(Fd, Old, 0);
        if (::ftruncate(Fd, static_cast<off_t>(Old.size())) == 0)
            ::fsync(Fd);
    }
    return Errno == 0 || Fail(Errno, TWriteFailure::Write, Failure);
}

// Writes a new file next to Target and renames it over Target, so that a
// failure at any point leaves Target as it was (or absent). Existing: the new
// file gets its owner, group and mode first. False with Retry set when the
// rename cannot keep what the file had (the folder takes no new file, or the
// owner cannot be given): the caller then writes in place.
bool WriteByRename(const std::string& Target, const struct stat* Existing, std::string_view Contents,
                   TWriteFailure& Failure, bool& Retry) {
    Retry = false;
    // A short name of its own: a temporary name built from the target's name
    // would exceed the 255 bytes of a name where the target's nearly fills them.
    std::string Temporary = FolderOf(Target) + "/.quorvane-XXXXXX";
    TDescriptor File(::mkstemp(Temporary.data()));
    if (File.Fd() < 0) {
        Retry = Existing != nullptr;
        return Fail(errno, TWriteFailure::Create, Failure);
    }
    const auto Abandon = [&](int Errno, TWriteFailure::TStep Step) {
        File.Close();
        ::unlink(Temporary.c_str());
        return Fail(Errno, Step, Failure);
    };

    mode_t Mode = 0;
    if (Existing != nullptr) {
        // fchown first: it clears set-id bits, which the fchmod then restores.
        if ((Existing->st_uid != ::geteuid() || Existing->st_gid != ::getegid()) &&
            ::fchown(File.Fd(), Existing->st_uid, Existing->st_gid) != 0) {
            Retry = true;
            return Abandon(errno, TWriteFailure::Create);
        }
        Mode = Existing->st_mode & 07777;
    } else {
        // The mode an ordinary create would give.
        const mode_t Mask = ::umask(0);
        ::umask(Mask);
        Mode = 0666 & ~Mask;
    }
    if (::fchmod(File.Fd(), Mode) != 0)
        return Abandon(errno, TWriteFailure::Create);
    if (const int Errno = WriteAll(File.Fd(), Contents))
        return Abandon(Errno, TWriteFailure::Write);
    if (::fsync(File.Fd()) != 0)
        return Abandon(errno, TWriteFailure::Write);
    if (const int Errno = File.Close()) {
        ::unlink(Temporary.c_str());
        return Fail(Errno, TWriteFailure::Write, Failure);
    }
    if (::rename(Temporary.c_str(), Target.c_str()) != 0) {
        const int Errno = errno;
        ::unlink(Temporary.c_str());
        return Fail(Errno, TWriteFailure::Create, Failure);
    }
    return true;
}

}  // namespace

// How each kind of target is written:
// - a descriptor of this process named by path (/dev/stdout, /dev/fd/N): through
//   that descriptor, keeping the shell's append mode and position;
// - no regular file (terminal, pipe, device): opened and written, not truncated;
// - a regular file that may not be written: refused with the system's message,
//   as the system refuses to truncate it, before anything changes;
// - a new file, or a regular file with one link whose owner can be kept:
//   atomically, by a new file renamed over it;
// - a file with hard links, whose owner a new file cannot get, or in a folder
//   that takes no new file: in place, with the old text put back on failure.
// Links are followed to their final target, which is made if it is missing.
bool WriteWholeFile(const std::string& FileName, std::string_view Contents, TWriteFailure& Failure) {
    if (const std::optional<int> Fd = OwnDescriptor(FileName)) {
        if (::fcntl(*Fd, F_GETFL) == -1)
            return Fail(errno, TWriteFailure::Create, Failure);
        return WriteToDescriptor(*Fd, Contents, Failure);
    }

    const std::string Target = FinalTarget(FileName);
    struct stat Existing;
    if (::stat(Target.c_str(), &Existing) != 0) {
        if (errno != ENOENT)
            return Fail(errno, TWriteFailure::Create, Failure);
        bool Retry = false;
        return WriteByRename(Target, nullptr, Contents, Failure, Retry);
    }
    if (!S_ISREG(Existing.st_mode)) {
        const TDescriptor File(::open(Target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        return File.Fd() >= 0 ? WriteToDescriptor(File.Fd(), Contents, Failure)
                              : Fail(errno, TWriteFailure::Create, Failure);
    }

    // The system's own answer to "may this file be written", with no change.
    TDescriptor File(::open(Target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (File.Fd() < 0)
        return Fail(errno, TWriteFailure::Create, Failure);
    if (Existing.st_nlink == 1) {
        bool Retry = false;
        if (WriteByRename(Target, &Existing, Contents, Failure, Retry))
            return true;
        if (!Retry)
            return false;
        Failure = {};
    }
    const bool Ok = WriteInPlace(File.Fd(), Target, Contents, Failure);
    const int CloseErrno = File.Close();
    return Ok && (CloseErrno == 0 || Fail(CloseErrno, TWriteFailure::Write, Failure));
}

void HoldClosedStandardDescriptors() {
    for (int Fd = STDIN_FILENO; Fd <= STDERR_FILENO; ++Fd) {
        if (::fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor: Fd itself.
        const int Null = ::open("/dev/null", (Fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
        if (Null >= 0 && Null != Fd) {
            ::dup2(Null, Fd);
            ::close(Null);
        }
    }
}

bool WriteStandardOutput(std::string_view Contents, std::string& Reason) {
    const int Errno = WriteAll(STDOUT_FILENO, Contents);
    if (Errno != 0)
        Reason = ErrnoText(Errno);
    return Errno == 0;
}

}  // namespace quorvane

namespace quorvane {

std::string ExpandFileName(const std::string& FileName) {
    if (!FileName.empty() && FileName[0] == '/')
        return FileName;
    char Folder[PATH_MAX];
    if (!::getcwd(Folder, sizeof Folder))
        return FileName;
    return std::string(Folder) + "/" + FileName;
}

}  // namespace quorvane
