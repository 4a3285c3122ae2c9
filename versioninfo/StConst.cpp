#include "versioninfo/StConst.h"

namespace quorvane {
namespace {

struct TStMessage {
    std::int32_t Code;
    const char* Text;
};

// English, as the family's other members have them; they never reach the user.
constexpr TStMessage kMessages[] = {
    {stscFileOpen, "Error opening file"},
    {stscNoVerInfo, "File does not contain version info"},
    {stscVerInfoFail, "Unable to read version info"},
};

}  // namespace

std::string StErrorMessage(std::int32_t Code) {
    for (const TStMessage& M : kMessages)
        if (M.Code == Code)
            return M.Text;
    return {};
}

}  // namespace quorvane
