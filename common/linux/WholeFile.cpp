#include "common/WholeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

std::string ErrnoText(int Error) {
    char Buffer[256];
    return strerror_r(Error, Buffer, sizeof Buffer);
}

bool WriteAll(int Fd, std::string_view Contents) {
    while (!Contents.empty()) {
        const ssize_t Written = ::write(Fd, Contents.data(), Contents.size());
        if (Written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (Written == 0) {  // no progress and no error: treat as a full device
            errno = ENOSPC;
            return false;
        }
        Contents.remove_prefix(static_cast<std::size_t>(Written));
    }
    return true;
}

// The file a write to Name lands in: the final target of a link, else Name.
std::string ResolveTarget(const std::string& Name) {
    struct stat Link;
    if (::lstat(Name.c_str(), &Link) != 0 || !S_ISLNK(Link.st_mode))
        return Name;
    char Resolved[PATH_MAX];
    return ::realpath(Name.c_str(), Resolved) ? std::string(Resolved) : Name;
}

bool WriteDirectly(const std::string& Target, std::string_view Contents, std::string& Error) {
    const int Fd = ::open(Target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (Fd < 0) {
        Error = ErrnoText(errno);
        return false;
    }
    const bool Ok = WriteAll(Fd, Contents);
    const int WriteError = errno;
    if (::close(Fd) != 0 && Ok) {
        Error = ErrnoText(errno);
        return false;
    }
    if (!Ok)
        Error = ErrnoText(WriteError);
    return Ok;
}

}  // namespace

bool WriteWholeFile(const std::string& FileName, std::string_view Contents, std::string& Error) {
    const std::string Target = ResolveTarget(FileName);
    struct stat Existing;
    const bool Exists = ::stat(Target.c_str(), &Existing) == 0;
    if (Exists && !S_ISREG(Existing.st_mode))
        return WriteDirectly(Target, Contents, Error);

    const std::size_t Slash = Target.rfind('/');
    const std::string Folder = Slash == std::string::npos ? std::string() : Target.substr(0, Slash + 1);
    const std::string Base = Slash == std::string::npos ? Target : Target.substr(Slash + 1);
    std::string Temporary = Folder + "." + Base + ".XXXXXX";
    const int Fd = ::mkstemp(Temporary.data());
    if (Fd < 0) {
        Error = ErrnoText(errno);
        return false;
    }

    // A new file gets the mode an ordinary create would give; a replaced file keeps its own.
    mode_t Mode = Existing.st_mode & 07777;
    if (!Exists) {
        const mode_t Mask = ::umask(0);
        ::umask(Mask);
        Mode = 0666 & ~Mask;
    }
    bool Ok = ::fchmod(Fd, Mode) == 0 && WriteAll(Fd, Contents) && ::fsync(Fd) == 0;
    int Failure = errno;
    if (::close(Fd) != 0 && Ok) {
        Ok = false;
        Failure = errno;
    }
    if (Ok && ::rename(Temporary.c_str(), Target.c_str()) != 0) {
        Ok = false;
        Failure = errno;
    }
    if (!Ok) {
        ::unlink(Temporary.c_str());
        Error = ErrnoText(Failure);
    }
    return Ok;
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
