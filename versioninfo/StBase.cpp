#include "versioninfo/StBase.h"

#include <algorithm>

#include "versioninfo/StConst.h"

namespace quorvane {

TStComponent::TStComponent(TStComponent* AOwner) : FOwner(AOwner) {
    if (FOwner)
        FOwner->FComponents.push_back(this);
}

TStComponent::~TStComponent() {
    // Children unlink themselves as they go, so take the list first.
    std::vector<TStComponent*> Owned;
    Owned.swap(FComponents);
    for (auto It = Owned.rbegin(); It != Owned.rend(); ++It)
        delete *It;
    if (FOwner) {
        auto& Siblings = FOwner->FComponents;
        Siblings.erase(std::remove(Siblings.begin(), Siblings.end(), this), Siblings.end());
    }
}

EStException::EStException(std::int32_t Code) : EStException(Code, StErrorMessage(Code)) {}

EStException::EStException(std::int32_t Code, const std::string& Message) : Exception(Message), FErrorCode(Code) {}

}  // namespace quorvane
