#include "packages/CacheFolder.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

namespace quorvane {
namespace {

bool OwnedByUs(const struct stat& Info) { return Info.st_uid == geteuid(); }

bool NobodyElseWrites(const struct stat& Info) { return (Info.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

std::string Environment(const char* Name) {
    const char* Value = getenv(Name);
    return Value && Value[0] == '/' ? std::string(Value) : std::string();
}

std::string HomeFolder() {
    std::string Home = Environment("HOME");
    if (Home.empty()) {
        const passwd* Entry = getpwuid(geteuid());
        if (Entry && Entry->pw_dir && Entry->pw_dir[0] == '/')
            Home = Entry->pw_dir;
    }
    return Home;
}

// The user's cache folder when it is ours: an existing one must belong to
// us; a missing one is made only inside a folder that belongs to us.
std::string UserCacheFolder() {
    std::string Base = Environment("XDG_CACHE_HOME");
    if (Base.empty()) {
        const std::string Home = HomeFolder();
        if (Home.empty())
            return {};
        Base = Home + "/.cache";
    }
    while (Base.size() > 1 && Base.back() == '/')
        Base.pop_back();
    struct stat Info;
    if (lstat(Base.c_str(), &Info) == 0) {
        if (!S_ISDIR(Info.st_mode) || !OwnedByUs(Info))
            return {};
    } else {
        const std::string Parent = Base.substr(0, std::max<std::size_t>(Base.rfind('/'), 1));
        if (stat(Parent.c_str(), &Info) != 0 || !OwnedByUs(Info) || mkdir(Base.c_str(), 0700) != 0)
            return {};
    }
    const std::string Folder = Base + "/quorvane";
    return MakePrivateFolder(Folder) ? Folder : std::string();
}

}  // namespace

bool MakePrivateFolder(const std::string& Path) {
    if (mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat Info;
    return lstat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode) && OwnedByUs(Info) && NobodyElseWrites(Info) &&
           access(Path.c_str(), W_OK | X_OK) == 0;
}

bool IsPrivateFile(const struct stat& Info) { return OwnedByUs(Info) && NobodyElseWrites(Info); }

std::string ChooseCacheFolder() {
    if (std::string Folder = UserCacheFolder(); !Folder.empty())
        return Folder;
    const std::string Runtime = Environment("XDG_RUNTIME_DIR");
    struct stat Info;
    if (!Runtime.empty() && stat(Runtime.c_str(), &Info) == 0 && OwnedByUs(Info) &&
        MakePrivateFolder(Runtime + "/quorvane"))
        return Runtime + "/quorvane";
    std::string Temp = Environment("TMPDIR");
    if (Temp.empty())
        Temp = "/tmp";
    const std::string Folder = Temp + "/quorvane-" + std::to_string(geteuid());
    return MakePrivateFolder(Folder) ? Folder : std::string();
}

bool WritePrivateFile(const std::string& Path, std::string_view Contents) {
    std::string Temp = Path + ".XXXXXX";
    const int Fd = mkstemp(Temp.data());  // mode 0600
    if (Fd < 0)
        return false;
    std::size_t Done = 0;
    bool Ok = true;
    while (Done < Contents.size()) {
        const ssize_t Written = write(Fd, Contents.data() + Done, Contents.size() - Done);
        if (Written < 0 && errno == EINTR)
            continue;
        if (Written <= 0) {
            Ok = false;
            break;
        }
        Done += static_cast<std::size_t>(Written);
    }
    if (close(Fd) != 0)
        Ok = false;
    if (!Ok || rename(Temp.c_str(), Path.c_str()) != 0) {
        unlink(Temp.c_str());
        return false;
    }
    return true;
}

}  // namespace quorvane
