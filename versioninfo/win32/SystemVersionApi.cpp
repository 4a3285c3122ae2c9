// The version reader's platform operations on Windows: the version API and
// the file functions, called directly.
#include <windows.h>

#include <cstring>

#include "common/SystemText.h"
#include "resources/StringTable.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {
namespace {

class TWin32VersionApi final : public IVersionApi {
public:
    std::uint32_t GetFileVersionInfoSize(const char* FileName, std::uint32_t& Handle,
                                         std::uint32_t& LastError) override {
        DWORD VersionHandle = 0;
        const DWORD Size = ::GetFileVersionInfoSizeA(FileName, &VersionHandle);
        LastError = Size == 0 ? ::GetLastError() : 0;
        Handle = VersionHandle;
        return Size;
    }

    bool GetFileVersionInfo(const char* FileName, std::uint32_t Handle, std::uint32_t Size, void* Data) override {
        return ::GetFileVersionInfoA(FileName, Handle, Size, Data) != FALSE;
    }

    bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) override {
        void* Found = nullptr;
        UINT FoundLength = 0;
        if (!::VerQueryValueA(Block, SubBlock, &Found, &FoundLength))
            return false;
        Value = Found;
        Length = FoundLength;
        return true;
    }

    std::uint32_t VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) override {
        if (BufferSize == 0)
            return 0;
        const DWORD Length = ::VerLanguageNameA(Language, Buffer, BufferSize);
        Buffer[BufferSize - 1] = '\0';
        return Length;
    }

    bool FileExists(const std::string& FileName) override {
        WIN32_FIND_DATAA Found;
        const HANDLE Search = ::FindFirstFileA(FileName.c_str(), &Found);
        if (Search == INVALID_HANDLE_VALUE)
            return false;
        ::FindClose(Search);
        if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return false;
        // The last-write time must be an MS-DOS date and time (1980 to 2107) in
        // local time. Wine's conversion also accepts later years, which the
        // seven bits of the DOS year cannot hold, so the year is checked too.
        FILETIME Local;
        WORD DosDate = 0;
        WORD DosTime = 0;
        SYSTEMTIME Calendar;
        return ::FileTimeToLocalFileTime(&Found.ftLastWriteTime, &Local) &&
               ::FileTimeToDosDateTime(&Local, &DosDate, &DosTime) && ::FileTimeToSystemTime(&Local, &Calendar) &&
               Calendar.wYear >= 1980 && Calendar.wYear <= 2107;
    }

    std::string FileProblem(const std::string& FileName) override {
        // A folder cannot be opened this way: the system answers "access denied".
        const HANDLE File = ::CreateFileA(FileName.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            return LastSystemErrorText();
        const DWORD Type = ::GetFileType(File);
        ::CloseHandle(File);
        return Type == FILE_TYPE_DISK ? std::string() : LoadStr(TStringId::sFileNotRegular);
    }

    std::string ModuleFileName() override {
        char Buffer[256];
        const DWORD Length = ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
        if (Length == 0)
            return std::string();
        // A truncated path need not be terminated (Windows XP): at most 255 characters.
        return std::string(Buffer, strnlen(Buffer, Length < sizeof Buffer ? Length : sizeof Buffer - 1));
    }
};

}  // namespace

std::unique_ptr<IVersionApi> CreateSystemVersionApi() { return std::make_unique<TWin32VersionApi>(); }

// Windows has no package databases to read another system's files with.
std::unique_ptr<IVersionApi> CreateSystemVersionApi(const std::string&, std::string& Problem) {
    Problem = LoadStr(TStringId::sCmdRootUnsupported);
    return nullptr;
}

}  // namespace quorvane
