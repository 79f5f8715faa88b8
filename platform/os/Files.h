// File primitives of the operating system, behind which the streams and the
// file helpers of the class library sit. Each failure raises EOSError with
// the system's own wording of the reason.
#pragma once

#include <cstdint>

#include "platform/SysUtils.h"

namespace Os {

using THandle = std::intptr_t;

// Opens an existing file with one of the class library's access and sharing
// modes (fmOpenRead | fmShareDenyWrite and the like).
THandle FileOpen(const AnsiString& FileName, unsigned Mode);
// Creates a file for reading and writing, or empties an existing one.
THandle FileCreate(const AnsiString& FileName);
std::int64_t FileRead(THandle Handle, void* Buffer, std::int64_t Count);
std::int64_t FileWrite(THandle Handle, const void* Buffer, std::int64_t Count);
// Origin: 0 from the start, 1 from the position, 2 from the end.
std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin);
void FileTruncate(THandle Handle, std::int64_t Size);
void FileClose(THandle Handle) noexcept;

enum TStdHandle { StdInput, StdOutput, StdError };
// The handle of the process's standard input, output or error.
THandle GetStdHandle(TStdHandle Which);

bool FileExists(const AnsiString& FileName);
bool DeleteFile(const AnsiString& FileName);
// Removes an empty folder; false when it holds anything or cannot be removed.
bool RemoveDir(const AnsiString& Folder);

// The last error of the calling thread and its text.
int GetLastOSError();
AnsiString OSErrorText(int ErrorCode);

}  // namespace Os

namespace Os {

// Creates a new file with a unique name in Folder, exclusively (never opening
// an existing file or following a symbolic link), for reading and writing.
// Returns the handle and stores the name in FileName.
THandle FileCreateUnique(const AnsiString& Folder, const AnsiString& Prefix, AnsiString& FileName);
// Flushes a file's data to the storage device.
void FileSync(THandle Handle);
// Renames OldName to NewName, replacing NewName atomically when it exists
// (a symbolic link at NewName is replaced, not followed).
void RenameFile(const AnsiString& OldName, const AnsiString& NewName);
// Renames OldName to NewName only when nothing of that name exists (not even
// a symbolic link); false, with OldName left as it is, when something does.
bool RenameFileNoReplace(const AnsiString& OldName, const AnsiString& NewName);

}  // namespace Os
