#include "resources/StringTable.h"

#include <array>
#include <string_view>

#include "common/SystemText.h"

namespace quorvane {
namespace {

struct TRow {
    TStringId Id;
    std::string_view Utf8;
};

constexpr TRow kRows[] = {
#define QSTR(Name, Id, Text) {TStringId::Name, Text},
#include "resources/strings.def"
#undef QSTR
};

constexpr std::size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

std::size_t RowIndex(TStringId Id) {
    for (std::size_t I = 0; I < kRowCount; ++I)
        if (kRows[I].Id == Id)
            return I;
    return kRowCount;  // unreachable for an enumerator of TStringId
}

}  // namespace

const std::string& LoadStr(TStringId Id) {
    // Converted once, on first use; the UI thread is the only caller.
    static const std::array<std::string, kRowCount> Converted = [] {
        std::array<std::string, kRowCount> Texts;
        for (std::size_t I = 0; I < kRowCount; ++I)
            Texts[I] = Utf8ToSystem(kRows[I].Utf8);
        return Texts;
    }();
    static const std::string Empty;
    const std::size_t I = RowIndex(Id);
    return I < kRowCount ? Converted[I] : Empty;
}

std::string FormatStr(TStringId Id, std::initializer_list<std::string_view> Arguments) {
    const std::string& Format = LoadStr(Id);
    std::string Text;
    Text.reserve(Format.size() + 64);
    auto Next = Arguments.begin();
    for (std::size_t I = 0; I < Format.size(); ++I) {
        if (Next != Arguments.end() && Format.compare(I, 2, "%s") == 0) {
            Text += *Next++;
            ++I;
        } else {
            Text += Format[I];
        }
    }
    return Text;
}

}  // namespace quorvane
