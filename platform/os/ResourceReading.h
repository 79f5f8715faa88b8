// What the readers of resource carriers share (the .res image, the ELF
// section, the PE resource tree): little-endian fields, exact reads from a
// file and the size beyond which nothing is read into memory. Used only by
// the OS layer's resource readers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Streams.h"
#include "platform/os/WinResources.h"

namespace Os::ResourceReading {

// Far more than any module's resources; a larger file or resource tree is not
// read into memory.
inline constexpr std::uint64_t MaxResourceBytes = 256u << 20;

inline WORD ReadWord(const std::uint8_t* P) { return static_cast<WORD>(P[0] | (P[1] << 8)); }

inline DWORD ReadDword(const std::uint8_t* P) {
    return static_cast<DWORD>(P[0]) | (static_cast<DWORD>(P[1]) << 8) | (static_cast<DWORD>(P[2]) << 16) |
           (static_cast<DWORD>(P[3]) << 24);
}

// Reads Count bytes at Offset of File into Buffer, or raises EResourceError
// naming the file when the file is shorter.
inline void ReadAt(TFileStream& File, std::uint64_t Offset, void* Buffer, std::size_t Count) {
    File.SetPosition(static_cast<std::int64_t>(Offset));
    if (File.Read(Buffer, static_cast<std::int64_t>(Count)) != static_cast<std::int64_t>(Count))
        throw EResourceError(Format("%s: unexpected end of file", {File.GetFileName()}));
}

}  // namespace Os::ResourceReading
