// A database that cannot be read at all (its library is missing, or this
// build has none): it owns no file, and says why, so that "no package" is
// never concluded from it.
#pragma once

#include <optional>
#include <string>

#include "packages/PackageDatabase.h"

namespace quorvane {

class TUnreadableDatabase final : public IPackageDatabase {
public:
    TUnreadableDatabase(TPackageManager Manager, std::string Location, std::string Reason)
        : FManager(Manager), FLocation(std::move(Location)), FReason(std::move(Reason)) {}

    TPackageManager Manager() const override { return FManager; }
    const std::string& Location() const override { return FLocation; }
    std::optional<TPackageOwner> Owner(std::string_view) override { return std::nullopt; }
    std::string Stamp() override { return "-"; }
    std::string Problem() const override { return FReason; }

private:
    TPackageManager FManager;
    std::string FLocation;
    std::string FReason;
};

}  // namespace quorvane
