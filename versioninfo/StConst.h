// The component family's table of (code, message) pairs.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

constexpr std::int32_t stscFileOpen = 73;
constexpr std::int32_t stscNoVerInfo = 100;
constexpr std::int32_t stscVerInfoFail = 101;

// The message of a code; empty for a code the table does not hold.
std::string StErrorMessage(std::int32_t Code);

}  // namespace quorvane
