#include "platform/Streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/os/Files.h"

EReadError::EReadError() : EFilerError("Stream read error") {}
EWriteError::EWriteError() : EFilerError("Stream write error") {}

// ---------------------------------------------------------------- TStream

TStream::~TStream() = default;

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream* Source, std::int64_t Count) {
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->GetSize();
    }
    constexpr std::int64_t BufferSize = 64 * 1024;
    std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(std::min(Count, BufferSize)));
    std::int64_t Left = Count;
    while (Left > 0) {
        const std::int64_t N = std::min(Left, BufferSize);
        Source->ReadBuffer(Buffer.data(), N);
        WriteBuffer(Buffer.data(), N);
        Left -= N;
    }
    return Count;
}

std::int64_t TStream::GetSize() {
    const std::int64_t Pos = Seek(0, soCurrent);
    const std::int64_t Result = Seek(0, soEnd);
    Seek(Pos, soBeginning);
    return Result;
}

void TStream::SetSize(std::int64_t) {}

// ---------------------------------------------------------- TMemoryStream

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition >= FSize) return 0;
    const std::int64_t N = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, FMemory + FPosition, static_cast<std::size_t>(N));
    FPosition += N;
    return N;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    const std::int64_t End = FPosition + Count;
    if (End > FCapacity) {
        // Grow geometrically so that a stream written in small pieces costs
        // amortised constant time per byte.
        SetCapacity(std::max(End, FCapacity + FCapacity / 2));
    }
    if (FPosition > FSize) std::memset(FMemory + FSize, 0, static_cast<std::size_t>(FPosition - FSize));
    std::memcpy(FMemory + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition = End;
    FSize = std::max(FSize, End);
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
        case soBeginning: FPosition = Offset; break;
        case soCurrent: FPosition += Offset; break;
        case soEnd: FPosition = FSize + Offset; break;
    }
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Stream size must not be negative");
    if (NewSize > FCapacity) SetCapacity(NewSize);
    if (NewSize > FSize) std::memset(FMemory + FSize, 0, static_cast<std::size_t>(NewSize - FSize));
    FSize = NewSize;
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::SetCapacity(std::int64_t NewCapacity) {
    if (NewCapacity == FCapacity) return;
    // Round up to 8 KiB, as small streams grow often.
    constexpr std::int64_t Granularity = 8192;
    if (NewCapacity > std::numeric_limits<std::int64_t>::max() - Granularity)
        throw EStreamError("Out of memory while expanding memory stream");
    NewCapacity = (NewCapacity + Granularity - 1) & ~(Granularity - 1);
    void* P = std::realloc(FMemory, static_cast<std::size_t>(NewCapacity));
    if (!P) throw EStreamError("Out of memory while expanding memory stream");
    FMemory = static_cast<std::uint8_t*>(P);
    FCapacity = NewCapacity;
}

std::uint8_t* TMemoryStream::ReserveAppend(std::int64_t Count) {
    if (FPosition != FSize || Count < 0) return nullptr;
    if (FPosition + Count > FCapacity) SetCapacity(std::max(FPosition + Count, FCapacity + FCapacity / 2));
    return FMemory + FPosition;
}

void TMemoryStream::CommitAppend(std::int64_t Count) {
    if (Count < 0 || FPosition != FSize || FPosition + Count > FCapacity)
        throw EStreamError("Memory stream append outside its reserved room");
    FPosition += Count;
    FSize = FPosition;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Stream->SetPosition(0);
    const std::int64_t Count = Stream->GetSize();
    SetSize(Count);
    if (Count != 0) Stream->ReadBuffer(FMemory, Count);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName) {
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&Stream);
}

void TMemoryStream::SaveToStream(TStream* Stream) {
    if (FSize != 0) Stream->WriteBuffer(FMemory, FSize);
}

void TMemoryStream::SaveToFile(const AnsiString& FileName) {
    TFileStream Stream(FileName, fmCreate);
    SaveToStream(&Stream);
}

void TMemoryStream::Clear() {
    std::free(FMemory);
    FMemory = nullptr;
    FSize = FPosition = FCapacity = 0;
}

// ---------------------------------------------------------- THandleStream

THandleStream::THandleStream(std::intptr_t Handle, bool OwnsHandle, AnsiString Name)
    : FHandle(Handle), FOwnsHandle(OwnsHandle), FFileName(std::move(Name)) {}

THandleStream::~THandleStream() {
    if (FOwnsHandle && FHandle >= 0) Os::FileClose(FHandle);
}

std::int64_t THandleStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    try {
        return Os::FileRead(FHandle, Buffer, Count);
    } catch (const EOSError& E) {
        throw EReadError("Cannot read file \"" + FFileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
}

std::int64_t THandleStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    try {
        return Os::FileWrite(FHandle, Buffer, Count);
    } catch (const EOSError& E) {
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    try {
        return Os::FileSeek(FHandle, Offset, static_cast<int>(Origin));
    } catch (const EOSError& E) {
        throw EStreamError("Cannot seek in file \"" + FFileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
}

void THandleStream::SetSize(std::int64_t NewSize) {
    try {
        Os::FileTruncate(FHandle, NewSize);
    } catch (const EOSError& E) {
        throw EStreamError("Cannot resize file \"" + FFileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
    if (GetPosition() > NewSize) SetPosition(NewSize);
}

// ------------------------------------------------------------ TFileStream

TFileStream::TFileStream(const AnsiString& FileName, unsigned Mode) : THandleStream(FileName) {
    try {
        FHandle = Mode == fmCreate ? Os::FileCreate(FileName) : Os::FileOpen(FileName, Mode);
    } catch (const EOSError& E) {
        const AnsiString Reason = SysErrorMessage(E.GetErrorCode());
        if (Mode == fmCreate) throw EFCreateError("Cannot create file \"" + FileName + "\". " + Reason);
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + Reason);
    }
}

// ------------------------------------------------------ TAtomicFileStream

TAtomicFileStream::TAtomicFileStream(const AnsiString& FileName) : THandleStream(FileName) {
    try {
        FHandle = Os::FileCreateUnique(ExtractFilePath(FileName), "." + ExtractFileName(FileName) + ".", FTempName);
    } catch (const EOSError& E) {
        throw EFCreateError("Cannot create file \"" + FileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
}

TAtomicFileStream::~TAtomicFileStream() {
    if (!FCommitted && FHandle >= 0) {
        Os::FileClose(FHandle);
        FHandle = -1;
        Os::DeleteFile(FTempName);
    }
}

void TAtomicFileStream::Commit() { Finish(true); }

bool TAtomicFileStream::CommitIfAbsent() { return Finish(false); }

bool TAtomicFileStream::Finish(bool Replace) {
    try {
        Os::FileSync(FHandle);
        Os::FileClose(FHandle);
        FHandle = -1;
        if (Replace)
            Os::RenameFile(FTempName, FFileName);
        else if (!Os::RenameFileNoReplace(FTempName, FFileName)) {
            Os::DeleteFile(FTempName);
            return false;
        }
        FCommitted = true;
        return true;
    } catch (const EOSError& E) {
        if (FHandle >= 0) Os::FileClose(FHandle);
        FHandle = -1;
        Os::DeleteFile(FTempName);
        throw EFCreateError("Cannot create file \"" + FFileName + "\". " + SysErrorMessage(E.GetErrorCode()));
    }
}
