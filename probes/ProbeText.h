// The portable pieces of the probes: path normalisation and the texts made of
// times and system messages. Each back-end feeds them its platform's values.
#pragma once

#include <functional>
#include <string>

#include "common/FileTime.h"
#include "common/SystemText.h"  // TrimSystemMessage

namespace quorvane {

// "\??\X" becomes "X"; otherwise "\SystemRoot\X" becomes WindowsDirectory()
// followed by "X". Both prefixes are matched exactly, letter case included;
// the directory is asked for only when the second rule applies.
std::string NormaliseImagePath(const std::string& Path, const std::function<std::string()>& WindowsDirectory);

// A FILETIME duration as "hh:nn:ss.zzz": cut to whole milliseconds and shown
// modulo 24 hours. Each colon is the user's time separator.
std::string DurationText(TFileTime Duration, char TimeSeparator = ':');

// Kernel plus user time, each cut to whole milliseconds before they are added.
std::string CpuTimeText(TFileTime KernelTime, TFileTime UserTime, char TimeSeparator = ':');

// The start time: the date text, then a blank and the time text, except at
// midnight (hours, minutes and seconds all zero), which shows the date alone.
std::string StartTimeText(const TSystemTime& LocalStart, const std::string& DateText, const std::string& TimeText);

}  // namespace quorvane
