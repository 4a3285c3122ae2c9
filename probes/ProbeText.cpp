#include "probes/ProbeText.h"

#include "resources/StringTable.h"

namespace quorvane {
namespace {

constexpr TFileTime kMsPerDay = 86'400'000;

// Fills the duration format: "hh", "nn", "ss" and "zzz" are the clock fields,
// each ':' is the time separator, everything else stays.
std::string FormatClock(TFileTime MsOfDay, char TimeSeparator) {
    const unsigned Ms = static_cast<unsigned>(MsOfDay % 1000);
    const unsigned Seconds = static_cast<unsigned>(MsOfDay / 1000 % 60);
    const unsigned Minutes = static_cast<unsigned>(MsOfDay / 60'000 % 60);
    const unsigned Hours = static_cast<unsigned>(MsOfDay / 3'600'000);
    const std::string& Format = LoadStr(TStringId::sDurationFormat);
    std::string Text;
    const auto Append = [&Text](unsigned Value, int Width) {
        std::string Digits = std::to_string(Value);
        if (static_cast<int>(Digits.size()) < Width)
            Text.append(Width - Digits.size(), '0');
        Text += Digits;
    };
    for (std::size_t I = 0; I < Format.size();) {
        if (Format.compare(I, 3, "zzz") == 0) {
            Append(Ms, 3);
            I += 3;
        } else if (Format.compare(I, 2, "hh") == 0) {
            Append(Hours, 2);
            I += 2;
        } else if (Format.compare(I, 2, "nn") == 0) {
            Append(Minutes, 2);
            I += 2;
        } else if (Format.compare(I, 2, "ss") == 0) {
            Append(Seconds, 2);
            I += 2;
        } else {
            Text += Format[I] == ':' ? TimeSeparator : Format[I];
            ++I;
        }
    }
    return Text;
}

TFileTime WholeMilliseconds(TFileTime Duration) { return Duration / kFileTimeTicksPerMs; }

}  // namespace

std::string NormaliseImagePath(const std::string& Path, const std::function<std::string()>& WindowsDirectory) {
    static const std::string kDosDevices = "\\??\\";
    static const std::string kSystemRoot = "\\SystemRoot\\";
    if (Path.compare(0, kDosDevices.size(), kDosDevices) == 0)
        return Path.substr(kDosDevices.size());
    if (Path.compare(0, kSystemRoot.size(), kSystemRoot) == 0)
        return WindowsDirectory() + Path.substr(kSystemRoot.size());
    return Path;
}

std::string DurationText(TFileTime Duration, char TimeSeparator) {
    // Counted from the FILETIME epoch, whole days carry into the date, which
    // the text does not show.
    return FormatClock(WholeMilliseconds(Duration) % kMsPerDay, TimeSeparator);
}

std::string CpuTimeText(TFileTime KernelTime, TFileTime UserTime, char TimeSeparator) {
    const TFileTime Sum = WholeMilliseconds(KernelTime) % kMsPerDay + WholeMilliseconds(UserTime) % kMsPerDay;
    return FormatClock(Sum % kMsPerDay, TimeSeparator);
}

std::string StartTimeText(const TSystemTime& LocalStart, const std::string& DateText, const std::string& TimeText) {
    if (LocalStart.Hour == 0 && LocalStart.Minute == 0 && LocalStart.Second == 0)
        return DateText;
    return DateText + ' ' + TimeText;
}

}  // namespace quorvane
