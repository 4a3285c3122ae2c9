// Where the version back-end keeps its caches between runs, and how it makes
// sure that nobody else wrote them: a cache decides whether a file is
// vouched for, so a cache that another user could have changed is not used.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace quorvane {

// The cache folder, created when missing: "quorvane" in the user's cache
// folder ($XDG_CACHE_HOME, else ~/.cache) when that folder is this user's own;
// otherwise (the home of another user, as under sudo without -H, or a
// read-only one) a private folder under $XDG_RUNTIME_DIR or the temporary
// folder ($TMPDIR, else /tmp), so the caches still outlive the run. Empty
// when no private folder can be had: the caches then live in memory only.
std::string ChooseCacheFolder();

// Path as a folder of this user's that nobody else may write: created (mode
// 0700) when missing, never a symbolic link. False when it is not such a folder.
bool MakePrivateFolder(const std::string& Path);

// A file owned by this user that nobody else may write.
bool IsPrivateFile(const struct stat& Info);

// Writes Contents to a new file beside Path (mode 0600) and renames it over
// Path, so a reader sees the old file or the whole new one. False on failure,
// which leaves Path as it was.
bool WritePrivateFile(const std::string& Path, std::string_view Contents);

}  // namespace quorvane
