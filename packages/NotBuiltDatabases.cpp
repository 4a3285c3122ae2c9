// The back-ends of the managers whose library this build was made without
// (its development files were missing): their databases are reported as
// unreadable, never taken for "no package".
#include "packages/PackageDatabase.h"
#include "packages/UnreadableDatabase.h"
#include "resources/StringTable.h"

namespace quorvane {

#if !QUORVANE_WITH_LIBRPM
std::unique_ptr<IPackageDatabase> OpenRpmDatabase(const TSystemRoot&, const std::string& Folder) {
    return std::make_unique<TUnreadableDatabase>(TPackageManager::Rpm, Folder,
                                                 FormatStr(TStringId::sDatabaseNotBuilt, {"librpm"}));
}
#endif

#if !QUORVANE_WITH_LIBALPM
std::unique_ptr<IPackageDatabase> OpenPacmanDatabase(const TSystemRoot&, const std::string& Folder) {
    return std::make_unique<TUnreadableDatabase>(TPackageManager::Pacman, Folder,
                                                 FormatStr(TStringId::sDatabaseNotBuilt, {"libalpm"}));
}
#endif

}  // namespace quorvane
