// File primitives on the Win32 API (kernel32).
#include "platform/os/Files.h"

#include "platform/Streams.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

[[noreturn]] void RaiseLastOSError(const AnsiString& What) {
    const int Code = static_cast<int>(::GetLastError());
    throw EOSError(What + ": " + OSErrorText(Code), Code);
}

HANDLE AsHandle(THandle Handle) { return reinterpret_cast<HANDLE>(Handle); }
THandle FromHandle(HANDLE Handle) { return reinterpret_cast<THandle>(Handle); }

DWORD AccessFlags(unsigned Mode) {
    switch (Mode & 0x3) {
        case fmOpenWrite: return GENERIC_WRITE;
        case fmOpenReadWrite: return GENERIC_READ | GENERIC_WRITE;
        default: return GENERIC_READ;
    }
}

// The class library's sharing modes say what others are denied; Win32 wants
// what they are allowed.
DWORD ShareFlags(unsigned Mode) {
    switch (Mode & 0xF0) {
        case fmShareExclusive: return 0;
        case fmShareDenyWrite: return FILE_SHARE_READ;
        case fmShareDenyRead: return FILE_SHARE_WRITE;
        default: return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    }
}

}  // namespace

THandle FileOpen(const AnsiString& FileName, unsigned Mode) {
    const HANDLE H = ::CreateFileA(FileName.c_str(), AccessFlags(Mode), ShareFlags(Mode), nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE) RaiseLastOSError(FileName);
    return FromHandle(H);
}

THandle FileCreate(const AnsiString& FileName) {
    const HANDLE H = ::CreateFileA(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE) RaiseLastOSError(FileName);
    return FromHandle(H);
}

std::int64_t FileRead(THandle Handle, void* Buffer, std::int64_t Count) {
    auto* Out = static_cast<char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const DWORD Chunk = static_cast<DWORD>(std::min<std::int64_t>(Count - Done, 1 << 30));
        DWORD N = 0;
        if (!::ReadFile(AsHandle(Handle), Out + Done, Chunk, &N, nullptr)) {
            // A pipe whose writer has gone is the end of the input.
            if (::GetLastError() == ERROR_BROKEN_PIPE) break;
            RaiseLastOSError("read");
        }
        if (N == 0) break;
        Done += N;
    }
    return Done;
}

std::int64_t FileWrite(THandle Handle, const void* Buffer, std::int64_t Count) {
    const auto* In = static_cast<const char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const DWORD Chunk = static_cast<DWORD>(std::min<std::int64_t>(Count - Done, 1 << 30));
        DWORD N = 0;
        if (!::WriteFile(AsHandle(Handle), In + Done, Chunk, &N, nullptr)) RaiseLastOSError("write");
        if (N == 0) break;
        Done += N;
    }
    return Done;
}

std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin) {
    const DWORD Method = Origin == 0 ? FILE_BEGIN : Origin == 1 ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER Distance;
    Distance.QuadPart = Offset;
    LARGE_INTEGER Result;
    if (!::SetFilePointerEx(AsHandle(Handle), Distance, &Result, Method)) RaiseLastOSError("seek");
    return Result.QuadPart;
}

void FileTruncate(THandle Handle, std::int64_t Size) {
    const std::int64_t Position = FileSeek(Handle, 0, 1);
    FileSeek(Handle, Size, 0);
    const BOOL Done = ::SetEndOfFile(AsHandle(Handle));
    const DWORD Code = ::GetLastError();
    FileSeek(Handle, std::min(Position, Size), 0);
    if (!Done) {
        ::SetLastError(Code);
        RaiseLastOSError("truncate");
    }
}

void FileClose(THandle Handle) noexcept { ::CloseHandle(AsHandle(Handle)); }

THandle GetStdHandle(TStdHandle Which) {
    switch (Which) {
        case StdInput: return FromHandle(::GetStdHandle(STD_INPUT_HANDLE));
        case StdOutput: return FromHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        default: return FromHandle(::GetStdHandle(STD_ERROR_HANDLE));
    }
}

bool FileExists(const AnsiString& FileName) {
    const DWORD Attributes = ::GetFileAttributesA(FileName.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const AnsiString& FileName) { return ::DeleteFileA(FileName.c_str()) != 0; }

bool RemoveDir(const AnsiString& Folder) { return ::RemoveDirectoryA(Folder.c_str()) != 0; }

int GetLastOSError() { return static_cast<int>(::GetLastError()); }

AnsiString OSErrorText(int ErrorCode) {
    char Buffer[512];
    DWORD Length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    static_cast<DWORD>(ErrorCode), 0, Buffer, sizeof Buffer, nullptr);
    while (Length > 0 && (Buffer[Length - 1] == '\n' || Buffer[Length - 1] == '\r' || Buffer[Length - 1] == ' ' ||
                          Buffer[Length - 1] == '.'))
        --Length;
    if (Length == 0) return "system error " + std::to_string(ErrorCode);
    return AnsiString(Buffer, Length);
}

}  // namespace Os

namespace Os {

THandle FileCreateUnique(const AnsiString& Folder, const AnsiString& Prefix, AnsiString& FileName) {
    const AnsiString Base = IncludeTrailingPathDelimiter(Folder.empty() ? AnsiString(".") : Folder) + Prefix;
    // CREATE_NEW fails on any existing name, so a name another process took
    // meanwhile is never opened; the next candidate is tried.
    static const char Digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    DWORD Seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16) ^ ::GetCurrentThreadId();
    for (int Attempt = 0; Attempt < 1000; ++Attempt) {
        AnsiString Candidate = Base;
        for (int I = 0; I < 6; ++I) {
            Seed = Seed * 1103515245u + 12345u;
            Candidate += Digits[(Seed >> 16) % 36];
        }
        const HANDLE H = ::CreateFileA(Candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (H != INVALID_HANDLE_VALUE) {
            FileName = Candidate;
            return FromHandle(H);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            RaiseLastOSError(Candidate);
    }
    RaiseLastOSError(Base);
}

void FileSync(THandle Handle) {
    if (!::FlushFileBuffers(AsHandle(Handle)) && ::GetLastError() != ERROR_INVALID_HANDLE) RaiseLastOSError("sync");
}

void RenameFile(const AnsiString& OldName, const AnsiString& NewName) {
    if (!::MoveFileExA(OldName.c_str(), NewName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseLastOSError(NewName);
}

bool RenameFileNoReplace(const AnsiString& OldName, const AnsiString& NewName) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails on any existing name.
    if (::MoveFileExA(OldName.c_str(), NewName.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD Code = ::GetLastError();
    if (Code == ERROR_ALREADY_EXISTS || Code == ERROR_FILE_EXISTS) return false;
    RaiseLastOSError(NewName);
}

}  // namespace Os
