// The class library's streams: an abstract byte stream with exact-count
// helpers, a growable memory stream and a file stream, and the errors they
// raise.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/SysUtils.h"

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// Errors of the form-data filers; reads and writes of exact counts raise
// their two descendants as well.
class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// "Stream read error": fewer bytes were there than were asked for.
class EReadError : public EFilerError {
public:
    using EFilerError::EFilerError;
    EReadError();
};

// "Stream write error": fewer bytes could be written than were given.
class EWriteError : public EFilerError {
public:
    using EFilerError::EFilerError;
    EWriteError();
};

// A file could not be created; the message names the file and the reason.
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A file could not be opened; the message names the file and the reason.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream();

    // Reads up to Count bytes at the position; fewer only at the end of the
    // data. Returns the number read.
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    // Writes up to Count bytes at the position. Returns the number written.
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // Moves the position and returns the new one.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    // Reads exactly Count bytes or raises EReadError.
    void ReadBuffer(void* Buffer, std::int64_t Count);
    // Writes exactly Count bytes or raises EWriteError.
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Copies Count bytes from Source's position; a Count of 0 copies the
    // whole of Source from its start. Returns the number of bytes copied.
    std::int64_t CopyFrom(TStream* Source, std::int64_t Count);

    std::int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Value) { Seek(Value, soBeginning); }
    virtual std::int64_t GetSize();
    virtual void SetSize(std::int64_t NewSize);
};

// A stream over memory it owns and grows as it is written.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t GetSize() override { return FSize; }
    void SetSize(std::int64_t NewSize) override;

    // The first byte of the data (nullptr while nothing was ever allocated).
    std::uint8_t* GetMemory() const { return FMemory; }
    // Replaces the content by the whole of Stream, from its start.
    void LoadFromStream(TStream* Stream);
    void LoadFromFile(const AnsiString& FileName);
    // For writers that fill memory directly: room for Count bytes at the end
    // of the data, where the position must be. Returns their address; the
    // size grows only when CommitWrite says how many of them were written.
    // Returns nullptr when the position is not at the end.
    std::uint8_t* ReserveAppend(std::int64_t Count);
    void CommitAppend(std::int64_t Count);
    // Writes the whole content to Stream at its position.
    void SaveToStream(TStream* Stream);
    void SaveToFile(const AnsiString& FileName);
    void Clear();

private:
    void SetCapacity(std::int64_t NewCapacity);

    std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
    std::int64_t FCapacity = 0;
};

// File open modes: one access mode combined with one sharing mode, or
// fmCreate alone.
inline constexpr unsigned fmOpenRead = 0x0000;
inline constexpr unsigned fmOpenWrite = 0x0001;
inline constexpr unsigned fmOpenReadWrite = 0x0002;
inline constexpr unsigned fmShareCompat = 0x0000;
inline constexpr unsigned fmShareExclusive = 0x0010;
inline constexpr unsigned fmShareDenyWrite = 0x0020;
inline constexpr unsigned fmShareDenyRead = 0x0030;
inline constexpr unsigned fmShareDenyNone = 0x0040;
// Creates the file, or empties an existing file of that name, for reading
// and writing.
inline constexpr unsigned fmCreate = 0xFFFF;

// A stream over an open file handle of the operating system, such as the
// standard input or output. Owns (and closes) the handle only when asked to.
class THandleStream : public TStream {
public:
    THandleStream(std::intptr_t Handle, bool OwnsHandle = false, AnsiString Name = {});
    ~THandleStream() override;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(std::int64_t NewSize) override;

    std::intptr_t GetHandle() const { return FHandle; }
    const AnsiString& GetFileName() const { return FFileName; }

protected:
    THandleStream(AnsiString Name) : FFileName(std::move(Name)) {}
    std::intptr_t FHandle = -1;
    bool FOwnsHandle = true;
    AnsiString FFileName;
};

// A stream over a file the object opens and closes.
class TFileStream : public THandleStream {
public:
    // Opens or creates FileName. Raises EFCreateError or EFOpenError, whose
    // message names the file and the system's reason.
    TFileStream(const AnsiString& FileName, unsigned Mode);
};

// A file written under a temporary name beside its target and put in place by
// Commit, which renames it over the target in one step: readers of the target
// see either the old file or the complete new one, never a part. The
// temporary file is created exclusively and never through a symbolic link;
// without Commit it is removed when the stream is destroyed.
class TAtomicFileStream : public THandleStream {
public:
    // Raises EFCreateError naming FileName when the temporary file cannot be
    // created.
    explicit TAtomicFileStream(const AnsiString& FileName);
    ~TAtomicFileStream() override;

    // Flushes the data and renames the temporary file over the target.
    // Raises EFCreateError naming the target when that fails; the temporary
    // file is then removed.
    void Commit();
    // As Commit, but never replaces anything: false when a file (or a link)
    // of the target's name exists, which is then left as it was, and the
    // temporary file is removed.
    bool CommitIfAbsent();

    const AnsiString& GetTempFileName() const { return FTempName; }

private:
    bool Finish(bool Replace);

    AnsiString FTempName;
    bool FCommitted = false;
};
