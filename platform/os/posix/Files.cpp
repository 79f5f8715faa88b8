// File primitives on POSIX.
#include "platform/os/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Streams.h"

namespace Os {

namespace {

[[noreturn]] void RaiseLastOSError(const AnsiString& What) {
    const int Code = errno;
    throw EOSError(What + ": " + OSErrorText(Code), Code);
}

int AccessFlags(unsigned Mode) {
    switch (Mode & 0x3) {
        case fmOpenWrite: return O_WRONLY;
        case fmOpenReadWrite: return O_RDWR;
        default: return O_RDONLY;
    }
}

// Sharing modes are advisory on POSIX: a whole-file lock that cooperating
// processes (those using these streams) respect.
void ApplyShareMode(int Fd, unsigned Mode) {
    int Lock = 0;
    switch (Mode & 0xF0) {
        case fmShareExclusive: Lock = LOCK_EX; break;
        case fmShareDenyWrite: Lock = LOCK_SH; break;
        case fmShareDenyRead: Lock = LOCK_EX; break;
        default: return;
    }
    if (::flock(Fd, Lock | LOCK_NB) != 0) {
        const int Code = errno;
        ::close(Fd);
        errno = Code == EWOULDBLOCK ? EBUSY : Code;
        RaiseLastOSError("file is in use");
    }
}

}  // namespace

THandle FileOpen(const AnsiString& FileName, unsigned Mode) {
    const int Fd = ::open(FileName.c_str(), AccessFlags(Mode) | O_CLOEXEC);
    if (Fd < 0) RaiseLastOSError(FileName);
    struct stat St;
    if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
        ::close(Fd);
        errno = EISDIR;
        RaiseLastOSError(FileName);
    }
    ApplyShareMode(Fd, Mode);
    return Fd;
}

THandle FileCreate(const AnsiString& FileName) {
    const int Fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (Fd < 0) RaiseLastOSError(FileName);
    return Fd;
}

std::int64_t FileRead(THandle Handle, void* Buffer, std::int64_t Count) {
    auto* Out = static_cast<char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const ssize_t N = ::read(static_cast<int>(Handle), Out + Done, static_cast<size_t>(Count - Done));
        if (N < 0) {
            if (errno == EINTR) continue;
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
        const ssize_t N = ::write(static_cast<int>(Handle), In + Done, static_cast<size_t>(Count - Done));
        if (N < 0) {
            if (errno == EINTR) continue;
            RaiseLastOSError("write");
        }
        if (N == 0) break;
        Done += N;
    }
    return Done;
}

std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin) {
    const int Whence = Origin == 0 ? SEEK_SET : Origin == 1 ? SEEK_CUR : SEEK_END;
    const off_t Result = ::lseek(static_cast<int>(Handle), static_cast<off_t>(Offset), Whence);
    if (Result < 0) RaiseLastOSError("seek");
    return Result;
}

void FileTruncate(THandle Handle, std::int64_t Size) {
    if (::ftruncate(static_cast<int>(Handle), static_cast<off_t>(Size)) != 0) RaiseLastOSError("truncate");
}

void FileClose(THandle Handle) noexcept { ::close(static_cast<int>(Handle)); }

THandle GetStdHandle(TStdHandle Which) {
    switch (Which) {
        case StdInput: return STDIN_FILENO;
        case StdOutput: return STDOUT_FILENO;
        default: return STDERR_FILENO;
    }
}

bool FileExists(const AnsiString& FileName) {
    struct stat St;
    return ::stat(FileName.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool DeleteFile(const AnsiString& FileName) { return ::unlink(FileName.c_str()) == 0; }

bool RemoveDir(const AnsiString& Folder) { return ::rmdir(Folder.c_str()) == 0; }

int GetLastOSError() { return errno; }

AnsiString OSErrorText(int ErrorCode) {
    char Buffer[256];
    // The GNU strerror_r returns the text, which may or may not be Buffer.
    return ::strerror_r(ErrorCode, Buffer, sizeof Buffer);
}

}  // namespace Os

namespace Os {

THandle FileCreateUnique(const AnsiString& Folder, const AnsiString& Prefix, AnsiString& FileName) {
    AnsiString Template = IncludeTrailingPathDelimiter(Folder.empty() ? AnsiString(".") : Folder) + Prefix + "XXXXXX";
    // mkstemp opens with O_CREAT | O_EXCL, which fails on any existing name,
    // a symbolic link included.
    const int Fd = ::mkostemp(Template.data(), O_CLOEXEC);
    if (Fd < 0) RaiseLastOSError(Template);
    ::fchmod(Fd, 0644);
    FileName = Template;
    return Fd;
}

void FileSync(THandle Handle) {
    if (::fsync(static_cast<int>(Handle)) != 0 && errno != EINVAL) RaiseLastOSError("sync");
}

void RenameFile(const AnsiString& OldName, const AnsiString& NewName) {
    if (::rename(OldName.c_str(), NewName.c_str()) != 0) RaiseLastOSError(NewName);
}

bool RenameFileNoReplace(const AnsiString& OldName, const AnsiString& NewName) {
    if (::renameat2(AT_FDCWD, OldName.c_str(), AT_FDCWD, NewName.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS) RaiseLastOSError(NewName);
    // A file system without the exclusive rename: a new link fails on any
    // existing name just the same.
    if (::link(OldName.c_str(), NewName.c_str()) != 0) {
        if (errno == EEXIST) return false;
        RaiseLastOSError(NewName);
    }
    ::unlink(OldName.c_str());
    return true;
}

}  // namespace Os
