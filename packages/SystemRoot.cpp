#include "packages/SystemRoot.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace quorvane {
namespace {

// As the kernel's own limit of links in one lookup.
constexpr int kMaxLinks = 40;
// A database file larger than this is no database (an examined tree may hold anything).
constexpr std::uint64_t kMaxReadBytes = 1u << 30;

// The names of Path's components, last first, without "" and ".".
void PushComponents(std::string_view Path, std::vector<std::string>& Pending) {
    std::size_t End = Path.size();
    while (End > 0) {
        const std::size_t Slash = Path.rfind('/', End - 1);
        const std::size_t Begin = Slash == std::string_view::npos ? 0 : Slash + 1;
        const std::string_view Name = Path.substr(Begin, End - Begin);
        if (!Name.empty() && Name != ".")
            Pending.emplace_back(Name);
        if (Slash == std::string_view::npos)
            break;
        End = Slash;
    }
}

std::string HostRealPath(const std::string& Path) {
    char Resolved[PATH_MAX];
    return realpath(Path.c_str(), Resolved) ? std::string(Resolved) : std::string();
}

}  // namespace

TSystemRoot::TSystemRoot(const std::string& Folder) {
    if (Folder.empty())
        return;
    // Absolute and without links: libraries that open files of the root themselves get it as a prefix.
    FFolder = HostRealPath(Folder);
    if (FFolder == "/") {
        FFolder.clear();
        return;
    }
    if (FFolder.empty()) {
        FError = errno;
        FFolder = Folder;
        return;
    }
    FFd = open(FFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (FFd < 0)
        FError = errno;
}

TSystemRoot::~TSystemRoot() {
    if (FFd >= 0)
        close(FFd);
}

int TSystemRoot::Walk(std::string_view Path, bool FollowLast, std::string& Name, std::string& Resolved) const {
    if (FFd < 0) {
        errno = EBADF;
        return -1;
    }
    // The folders passed through, each held open: ".." goes back to the one
    // before, and at the root stays there.
    struct TFolder {
        int Fd;
        std::string Name;
    };
    std::vector<TFolder> Folders;
    auto Top = [&] { return Folders.empty() ? FFd : Folders.back().Fd; };
    auto Leave = [&](int Error) {
        for (const TFolder& Folder : Folders)
            close(Folder.Fd);
        errno = Error;
        return -1;
    };
    auto Finish = [&](std::string Last) {
        Resolved.clear();
        for (const TFolder& Folder : Folders)
            Resolved += '/' + Folder.Name;
        if (Last != ".")
            Resolved += '/' + Last;
        if (Resolved.empty())
            Resolved = "/";
        Name = std::move(Last);
        const int Parent = dup(Top());
        const int Error = errno;
        Leave(Error);
        return Parent;
    };

    std::vector<std::string> Pending;
    PushComponents(Path, Pending);
    int Links = 0;
    while (!Pending.empty()) {
        std::string Component = std::move(Pending.back());
        Pending.pop_back();
        if (Component == "..") {
            if (!Folders.empty()) {
                close(Folders.back().Fd);
                Folders.pop_back();
            }
            continue;
        }
        const int Fd = openat(Top(), Component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (Fd < 0)
            return Leave(errno);
        struct stat Info;
        if (fstat(Fd, &Info) != 0) {
            const int Error = errno;
            close(Fd);
            return Leave(Error);
        }
        const bool Last = Pending.empty();
        if (S_ISLNK(Info.st_mode) && (!Last || FollowLast)) {
            char Target[PATH_MAX];
            const ssize_t Length = readlinkat(Fd, "", Target, sizeof Target);
            close(Fd);
            if (++Links > kMaxLinks)
                return Leave(ELOOP);
            if (Length <= 0 || static_cast<std::size_t>(Length) >= sizeof Target)
                return Leave(Length == 0 ? ENOENT : ENAMETOOLONG);
            const std::string_view Link(Target, static_cast<std::size_t>(Length));
            if (Link.front() == '/') {
                for (const TFolder& Folder : Folders)
                    close(Folder.Fd);
                Folders.clear();
            }
            PushComponents(Link, Pending);
            continue;
        }
        if (Last) {
            close(Fd);
            return Finish(std::move(Component));
        }
        if (!S_ISDIR(Info.st_mode)) {
            close(Fd);
            return Leave(ENOTDIR);
        }
        Folders.push_back({Fd, std::move(Component)});
    }
    return Finish(".");
}

int TSystemRoot::Open(std::string_view Path, int Flags, std::string* Resolved) const {
    if (IsHost()) {
        const std::string HostPath(Path);
        const int Fd = open(HostPath.c_str(), Flags);
        if (Fd >= 0 && Resolved)
            *Resolved = HostRealPath(HostPath);
        return Fd;
    }
    std::string Name, Reached;
    const int Parent = Walk(Path, (Flags & O_NOFOLLOW) == 0, Name, Reached);
    if (Parent < 0)
        return -1;
    // O_NOFOLLOW: a link put in the last component's place since the walk is refused.
    const int Fd = openat(Parent, Name.c_str(), Flags | O_NOFOLLOW);
    const int Error = errno;
    close(Parent);
    if (Fd >= 0 && Resolved)
        *Resolved = std::move(Reached);
    errno = Error;
    return Fd;
}

bool TSystemRoot::Stat(std::string_view Path, struct stat& Info) const { return StatAt(Path, true, Info); }

bool TSystemRoot::LinkStat(std::string_view Path, struct stat& Info) const { return StatAt(Path, false, Info); }

bool TSystemRoot::StatAt(std::string_view Path, bool FollowLast, struct stat& Info) const {
    if (IsHost())
        return (FollowLast ? stat : lstat)(std::string(Path).c_str(), &Info) == 0;
    std::string Name, Reached;
    const int Parent = Walk(Path, FollowLast, Name, Reached);
    if (Parent < 0)
        return false;
    const bool Done = fstatat(Parent, Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) == 0;
    const int Error = errno;
    close(Parent);
    errno = Error;
    return Done;
}

std::string TSystemRoot::Resolve(std::string_view Path) const {
    if (IsHost())
        return HostRealPath(std::string(Path));
    std::string Name, Reached;
    const int Parent = Walk(Path, true, Name, Reached);
    if (Parent < 0)
        return {};
    struct stat Info;
    const bool Exists = fstatat(Parent, Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) == 0;
    close(Parent);
    return Exists ? Reached : std::string();
}

std::string TSystemRoot::ResolveFolder(std::string_view Path) const {
    const std::size_t Slash = Path.rfind('/');
    if (Slash == std::string_view::npos || Slash + 1 == Path.size())
        return std::string(Path);
    const std::string_view Folder = Path.substr(0, Slash);
    std::string Resolved = Resolve(Folder.empty() ? std::string_view("/") : Folder);
    if (Resolved.empty())
        return std::string(Path);
    if (Resolved != "/")
        Resolved += '/';
    Resolved += Path.substr(Slash + 1);
    return Resolved;
}

bool TSystemRoot::ReadFile(std::string_view Path, std::string& Content) const {
    // O_NONBLOCK: a FIFO in the examined tree must not wait for a writer.
    const int Fd = Open(Path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (Fd < 0)
        return false;
    struct stat Info;
    bool Done = fstat(Fd, &Info) == 0;
    if (Done && (!S_ISREG(Info.st_mode) || static_cast<std::uint64_t>(Info.st_size) > kMaxReadBytes)) {
        errno = S_ISREG(Info.st_mode) ? EFBIG : EINVAL;
        Done = false;
    }
    Content.clear();
    char Buffer[1 << 16];
    while (Done) {
        const ssize_t Got = read(Fd, Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0) {
            Done = Got == 0;
            break;
        }
        Content.append(Buffer, static_cast<std::size_t>(Got));
        Done = Content.size() <= kMaxReadBytes;
    }
    const int Error = errno;
    close(Fd);
    errno = Error;
    return Done;
}

std::string TSystemRoot::HostPath(std::string_view Resolved) const {
    if (IsHost())
        return std::string(Resolved);
    return FFolder + (Resolved == "/" ? std::string() : std::string(Resolved));
}

}  // namespace quorvane

namespace quorvane {

namespace {

std::string StampOf(const struct stat& Info) {
    return std::to_string(Info.st_mtim.tv_sec) + '.' + std::to_string(Info.st_mtim.tv_nsec) + ':' +
           std::to_string(Info.st_size) + ':' + std::to_string(Info.st_ino);
}

}  // namespace

std::string ChangeStamp(const TSystemRoot& Root, std::string_view Path) {
    struct stat Info;
    return Root.Stat(Path, Info) ? StampOf(Info) : "-";
}

TWatchedFile::TWatchedFile(const TSystemRoot& Root, std::string_view Path) : FRoot(Root) {
    const std::size_t Slash = Path.rfind('/');
    FFolderPath = Slash == std::string_view::npos || Slash == 0 ? "/" : std::string(Path.substr(0, Slash));
    FName = Path.substr(Slash == std::string_view::npos ? 0 : Slash + 1);
}

TWatchedFile::~TWatchedFile() {
    if (FFolder >= 0)
        close(FFolder);
}

std::string TWatchedFile::Stamp() {
    // A folder that is missing now may be made later: opened again until it is there.
    if (FFolder < 0)
        FFolder = FRoot.Open(FFolderPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat Info;
    return FFolder >= 0 && fstatat(FFolder, FName.c_str(), &Info, 0) == 0 ? StampOf(Info) : "-";
}

}  // namespace quorvane
