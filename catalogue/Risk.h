// The risk rule and the lookups that turn record values into text and colour.
#pragma once

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
void ClassifyByVersionInfo(TNodeData& Data, TStCustomVersionInfo& VersionInfo);

}  // namespace quorvane
