// A bounded view of untrusted bytes: every read is checked against the view's
// size in 64-bit arithmetic and answers false instead of reading past the end.
// No platform headers: the Windows build compiles this too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvane {

class TByteSpan {
public:
    TByteSpan() = default;
    TByteSpan(const std::uint8_t* Data, std::uint64_t Size) : FData(Data), FSize(Data ? Size : 0) {}

    const std::uint8_t* Data() const { return FData; }
    std::uint64_t Size() const { return FSize; }

    bool Contains(std::uint64_t Offset, std::uint64_t Count) const {
        return Offset <= FSize && Count <= FSize - Offset;
    }

    // The part [Offset, Offset + Count); an empty span when it does not fit.
    TByteSpan Sub(std::uint64_t Offset, std::uint64_t Count) const {
        if (!Contains(Offset, Count))
            return {};
        return {FData + Offset, Count};
    }

    // Little-endian reads, as every structure of PE and of the version block is.
    bool ReadU16(std::uint64_t Offset, std::uint16_t& Value) const {
        if (!Contains(Offset, 2))
            return false;
        Value = static_cast<std::uint16_t>(FData[Offset] | (FData[Offset + 1] << 8));
        return true;
    }

    bool ReadU32(std::uint64_t Offset, std::uint32_t& Value) const {
        if (!Contains(Offset, 4))
            return false;
        Value = static_cast<std::uint32_t>(FData[Offset]) | (static_cast<std::uint32_t>(FData[Offset + 1]) << 8) |
                (static_cast<std::uint32_t>(FData[Offset + 2]) << 16) |
                (static_cast<std::uint32_t>(FData[Offset + 3]) << 24);
        return true;
    }

private:
    const std::uint8_t* FData = nullptr;
    std::uint64_t FSize = 0;
};

}  // namespace quorvane
