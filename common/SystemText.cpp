#include "common/SystemText.h"

namespace quorvane {

std::string TrimSystemMessage(const std::string& Message) {
    const auto IsTrimmed = [](char C) { return static_cast<unsigned char>(C) <= 32; };
    std::size_t Begin = 0;
    std::size_t End = Message.size();
    while (Begin < End && IsTrimmed(Message[Begin]))
        ++Begin;
    while (End > Begin && IsTrimmed(Message[End - 1]))
        --End;
    return Message.substr(Begin, End - Begin);
}

}  // namespace quorvane
