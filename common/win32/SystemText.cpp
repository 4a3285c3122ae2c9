#include "common/SystemText.h"

#include <windows.h>

#include <climits>

#include "common/Utf8.h"
#include "common/win32/Win32Text.h"

namespace quorvane {

std::string Win32MessageText(std::uint32_t Error) {
    char* Buffer = nullptr;
    const DWORD Length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        Error, 0, reinterpret_cast<char*>(&Buffer), 0, nullptr);
    std::string Text;
    if (Length != 0 && Buffer)
        Text.assign(Buffer, Length);
    if (Buffer)
        ::LocalFree(Buffer);
    return TrimSystemMessage(Text);
}

namespace {

// Through UTF-16. Characters the target code page lacks become its default character.
std::string Recode(std::string_view Text, UINT From, UINT To) {
    if (Text.empty() || Text.size() > INT_MAX)
        return std::string();
    const int Size = static_cast<int>(Text.size());
    const int Wide = ::MultiByteToWideChar(From, 0, Text.data(), Size, nullptr, 0);
    if (Wide <= 0)
        return std::string();
    std::wstring Unicode(static_cast<std::size_t>(Wide), L'\0');
    ::MultiByteToWideChar(From, 0, Text.data(), Size, Unicode.data(), Wide);
    const int Narrow = ::WideCharToMultiByte(To, 0, Unicode.data(), Wide, nullptr, 0, nullptr, nullptr);
    if (Narrow <= 0)
        return std::string();
    std::string Result(static_cast<std::size_t>(Narrow), '\0');
    ::WideCharToMultiByte(To, 0, Unicode.data(), Wide, Result.data(), Narrow, nullptr, nullptr);
    return Result;
}

}  // namespace

std::string Utf8ToSystem(std::string_view Utf8) { return Recode(Utf8, CP_UTF8, CP_ACP); }

std::string SystemToUtf8(std::string_view Text) { return Recode(Text, CP_ACP, CP_UTF8); }

std::string OutputText(std::string_view Text) { return std::string(Text); }

std::string MessageText(std::string_view Text) { return EscapeBytes(Text, {.Controls = true}); }

std::string LastSystemErrorText() { return Win32MessageText(::GetLastError()); }

}  // namespace quorvane
