#include "common/SystemText.h"

#include <windows.h>

#include <climits>

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

std::string Utf8ToSystem(std::string_view Utf8) {
    if (Utf8.empty() || Utf8.size() > INT_MAX)
        return std::string();
    const int Size = static_cast<int>(Utf8.size());
    const int Wide = ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, nullptr, 0);
    if (Wide <= 0)
        return std::string();
    std::wstring Text(static_cast<std::size_t>(Wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, Text.data(), Wide);
    // Characters the ANSI code page lacks become its default character.
    const int Narrow = ::WideCharToMultiByte(CP_ACP, 0, Text.data(), Wide, nullptr, 0, nullptr, nullptr);
    if (Narrow <= 0)
        return std::string();
    std::string Result(static_cast<std::size_t>(Narrow), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, Text.data(), Wide, Result.data(), Narrow, nullptr, nullptr);
    return Result;
}

std::string LastSystemErrorText() { return Win32MessageText(::GetLastError()); }

}  // namespace quorvane
