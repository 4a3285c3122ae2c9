// The risk rule and the lookups that turn record values into text and colour.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/Color.h"
#include "catalogue/NodeData.h"

namespace quorvane {

class TStCustomVersionInfo;

// The rating's name; empty for a level outside 0..4.
const std::string& RiskName(const TNodeData& Data);

// Text colour (TextColor set) or background colour; the defaults of levels 0
// and 4 for a level outside 0..4.
TColor RiskColor(const TNodeData& Data, bool TextColor);

// PriorityClass as text: empty for 0, the class's name, or the number in decimal.
std::string PriorityName(const TNodeData& Data);

// Gives the reader Data.ImagePath, reads company, description, version and
// language into Data under one guard, and rates the process from the result.
// Answers 0, or the ErrorCode of the reader's failure (-1 for a failure of
// another kind).
std::int32_t ClassifyByVersionInfo(TNodeData& Data, TStCustomVersionInfo& VersionInfo);

// The same for the file FileName, where the running image must be read
// elsewhere than under its path.
std::int32_t ClassifyByVersionInfo(TNodeData& Data, TStCustomVersionInfo& VersionInfo, const std::string& FileName);

// The rule alone, over the four values already in Data and the reader's
// Failure as ClassifyByVersionInfo answers it.
void RateByVersionValues(TNodeData& Data, std::int32_t Failure);

// The rating of a file without usable version data: no values, level 1 and
// "Keine Datei-Informationen vorhanden".
void RateWithoutVersionData(TNodeData& Data);

}  // namespace quorvane
