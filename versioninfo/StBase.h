// Base classes of the component family: an owned, non-visual component and
// exceptions carrying a numeric code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace quorvane {

// A non-visual component. Its owner destroys it together with itself; a
// component destroyed first leaves its owner's list.
class TStComponent {
public:
    explicit TStComponent(TStComponent* AOwner);
    virtual ~TStComponent();
    TStComponent(const TStComponent&) = delete;
    TStComponent& operator=(const TStComponent&) = delete;

    TStComponent* Owner() const { return FOwner; }

    // Notification that the owner's stored description has been read.
    virtual void Loaded() {}

private:
    TStComponent* FOwner;
    std::vector<TStComponent*> FComponents;
};

class EStException : public Exception {
public:
    // The message is the code's row of the family's message table.
    explicit EStException(std::int32_t Code);
    EStException(std::int32_t Code, const std::string& Message);

    std::int32_t ErrorCode() const { return FErrorCode; }

private:
    std::int32_t FErrorCode;
};

}  // namespace quorvane
