// The program's resources: the string table holds the same rows as the
// compiled table, and the manifest is there.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/SystemText.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

std::string ResourceString(UINT Id) {
    const wchar_t* Text = nullptr;
    // A buffer size of 0 answers a pointer into the resource itself.
    const int Length = ::LoadStringW(::GetModuleHandleA(nullptr), Id, reinterpret_cast<wchar_t*>(&Text), 0);
    if (Length <= 0)
        return "<missing>";
    const int Size = ::WideCharToMultiByte(CP_ACP, 0, Text, Length, nullptr, 0, nullptr, nullptr);
    std::string Narrow(static_cast<std::size_t>(Size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, Text, Length, Narrow.data(), Size, nullptr, nullptr);
    return Narrow;
}

TEST(ProgramResources, TheStringTableHoldsEveryRowOfStringsDef) {
    int Rows = 0;
#define QSTR(Name, Id, Text)                                                  \
    EXPECT_EQ(LoadStr(TStringId::Name), ResourceString(Id)) << #Name;         \
    EXPECT_EQ(Utf8ToSystem(Text), ResourceString(Id)) << #Name;               \
    ++Rows;
#include "resources/strings.def"
#undef QSTR
    EXPECT_GT(Rows, 20);
}

TEST(ProgramResources, CarryTheManifest) {
    const HRSRC Manifest = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, Manifest);
    const HGLOBAL Loaded = ::LoadResource(nullptr, Manifest);
    const std::string Text(static_cast<const char*>(::LockResource(Loaded)), ::SizeofResource(nullptr, Manifest));
    EXPECT_NE(std::string::npos, Text.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, Text.find("version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, Text.find("dpiAware"));
    EXPECT_NE(std::string::npos, Text.find("supportedOS"));
}

}  // namespace
}  // namespace quorvane
