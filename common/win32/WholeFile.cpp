#include "common/WholeFile.h"

#include <windows.h>

#include "common/win32/Win32Text.h"

namespace quorvane {
namespace {

bool WriteAll(HANDLE File, std::string_view Contents) {
    while (!Contents.empty()) {
        const DWORD Chunk = Contents.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(Contents.size());
        DWORD Written = 0;
        if (!::WriteFile(File, Contents.data(), Chunk, &Written, nullptr))
            return false;
        if (Written == 0) {  // no progress and no error: treat as a full device
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        Contents.remove_prefix(Written);
    }
    return true;
}

bool Fail(DWORD Error, TWriteFailure::TStep Step, TWriteFailure& Failure) {
    Failure.Step = Step;
    Failure.Reason = Win32MessageText(Error);
    return false;
}

// Writes into the open handle and closes it; answers false with the first failure.
bool WriteAndClose(HANDLE File, std::string_view Contents, bool Flush, TWriteFailure& Failure) {
    bool Ok = WriteAll(File, Contents) && (!Flush || ::FlushFileBuffers(File));
    DWORD Error = Ok ? 0 : ::GetLastError();
    if (!::CloseHandle(File) && Ok) {
        Ok = false;
        Error = ::GetLastError();
    }
    return Ok || Fail(Error, TWriteFailure::Write, Failure);
}

// The folder of Name, for the temporary file beside it. A separator that
// begins the path or follows the drive ("\\r.txt", "C:\\r.txt") is kept: "C:"
// alone names the current folder of that drive, not its root.
std::string FolderOf(const std::string& Name) {
    const std::size_t Separator = Name.find_last_of("\\/:");
    if (Separator == std::string::npos)
        return ".";
    if (Name[Separator] == ':' || Separator == 0 || (Separator == 2 && Name[1] == ':'))
        return Name.substr(0, Separator + 1);  // "C:r.txt": in C:'s current folder, as the name says
    return Name.substr(0, Separator);
}

}  // namespace

bool WriteWholeFile(const std::string& FileName, std::string_view Contents, TWriteFailure& Failure) {
    // A read-only file is refused as Windows refuses to open it for writing
    // (even for administrators); checked here too, since Wine run as root on
    // Linux would open it.
    const DWORD Attributes = ::GetFileAttributesA(FileName.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY) &&
        !(Attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_ACCESS_DENIED, TWriteFailure::Create, Failure);
    // An existing target that is no disk file (a device such as NUL, a pipe) is written directly.
    HANDLE Existing = ::CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Existing != INVALID_HANDLE_VALUE) {
        if (::GetFileType(Existing) != FILE_TYPE_DISK)
            return WriteAndClose(Existing, Contents, false, Failure);
        ::CloseHandle(Existing);
    } else if (const DWORD Error = ::GetLastError(); Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND) {
        // A file that may not be written (read-only, held by another program)
        // is refused as Windows refuses to open it, not replaced behind its back.
        return Fail(Error, TWriteFailure::Create, Failure);
    }

    char Temporary[MAX_PATH + 16];
    if (!::GetTempFileNameA(FolderOf(FileName).c_str(), "qrv", 0, Temporary))
        return Fail(::GetLastError(), TWriteFailure::Create, Failure);
    HANDLE File = ::CreateFileA(Temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Fail(::GetLastError(), TWriteFailure::Create, Failure);
        ::DeleteFileA(Temporary);
        return false;
    }
    bool Ok = WriteAndClose(File, Contents, true, Failure);
    if (Ok && !::MoveFileExA(Temporary, FileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Ok = Fail(::GetLastError(), TWriteFailure::Create, Failure);
    if (!Ok)
        ::DeleteFileA(Temporary);
    return Ok;
}

void HoldClosedStandardDescriptors() {}

bool WriteStandardOutput(std::string_view Contents, std::string& Reason) {
    // Straight to the handle: no C runtime between, so nothing turns LF into CR LF.
    const HANDLE Output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (Output == nullptr || Output == INVALID_HANDLE_VALUE) {
        Reason = Win32MessageText(ERROR_INVALID_HANDLE);
        return false;
    }
    if (WriteAll(Output, Contents))
        return true;
    Reason = Win32MessageText(::GetLastError());
    return false;
}

std::string ExpandFileName(const std::string& FileName) {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = ::GetFullPathNameA(FileName.c_str(), sizeof Buffer, Buffer, nullptr);
    if (Length == 0 || Length >= sizeof Buffer)
        return FileName;
    return std::string(Buffer, Length);
}

}  // namespace quorvane
