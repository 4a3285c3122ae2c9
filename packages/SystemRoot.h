// The root of the system whose files are examined: this machine's own "/",
// or a folder that holds another system (a container image unpacked into it,
// a mounted disk). Paths are given as they are inside the root. Inside a
// folder, links are resolved here, component by component, as if the folder
// were "/": an absolute target starts again at the folder, and ".." never
// leads above it, so a link in the examined tree cannot make the program read
// a file of this machine.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace quorvane {

class TSystemRoot {
public:
    // This machine's own root.
    TSystemRoot() = default;
    // Folder: the root of another system; empty or "/" for this machine's.
    // Valid() is false when the folder cannot be opened; Error() tells why.
    explicit TSystemRoot(const std::string& Folder);
    ~TSystemRoot();
    TSystemRoot(const TSystemRoot&) = delete;
    TSystemRoot& operator=(const TSystemRoot&) = delete;

    bool IsHost() const { return FFolder.empty(); }
    bool Valid() const { return IsHost() || FFd >= 0; }
    int Error() const { return FError; }  // an errno value
    // The folder, absolute and with its links resolved; empty for this machine.
    const std::string& Folder() const { return FFolder; }

    // Opens Path (a relative path counts from the root) with Flags, following
    // links as described above; -1 with errno on failure. Resolved, when
    // given, receives the path of the file reached, as inside the root.
    int Open(std::string_view Path, int Flags, std::string* Resolved = nullptr) const;

    // stat of the file Path names, links followed; false with errno.
    bool Stat(std::string_view Path, struct stat& Info) const;

    // As Stat, but a link in the last component is not followed (lstat).
    bool LinkStat(std::string_view Path, struct stat& Info) const;

    // Path with every link resolved (the file it reaches), as inside the
    // root; empty when it reaches nothing.
    std::string Resolve(std::string_view Path) const;

    // Path with its folder resolved and its last component kept; Path
    // unchanged when the folder cannot be resolved.
    std::string ResolveFolder(std::string_view Path) const;

    // The whole content of the regular file Path names; false with errno
    // when it cannot be read.
    bool ReadFile(std::string_view Path, std::string& Content) const;

    // Where a path inside the root lies on this machine (for libraries that
    // open files themselves: the path must have been resolved first).
    std::string HostPath(std::string_view Resolved) const;

private:
    // The walk through Path (its last link followed when FollowLast): the
    // descriptor of the folder that holds what it reaches, the name there
    // (or "." for the folder itself) and the resolved path. -1 with errno on
    // failure.
    int Walk(std::string_view Path, bool FollowLast, std::string& Name, std::string& Resolved) const;
    bool StatAt(std::string_view Path, bool FollowLast, struct stat& Info) const;

    std::string FFolder;
    int FFd = -1;
    int FError = 0;
};

// A text that changes when the file Path names changes (its modification
// time, size and inode); "-" when there is none.
std::string ChangeStamp(const TSystemRoot& Root, std::string_view Path);

// A file whose change stamp is asked for often: its folder is held open, so
// that each asking costs one system call instead of a walk through the root.
class TWatchedFile {
public:
    TWatchedFile(const TSystemRoot& Root, std::string_view Path);
    ~TWatchedFile();
    TWatchedFile(const TWatchedFile&) = delete;
    TWatchedFile& operator=(const TWatchedFile&) = delete;

    // As ChangeStamp.
    std::string Stamp();

private:
    const TSystemRoot& FRoot;
    std::string FFolderPath;
    std::string FName;
    int FFolder = -1;
};

}  // namespace quorvane
