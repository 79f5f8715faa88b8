// TLZStream: the package's block codec and the framed stream format in which
// the font data is stored.
//
// A block of at most 32783 input bytes is coded on its own: one pass, a
// single-probe hash of the next three bytes, copy items with a 12-bit
// distance and a 4-bit length, run items for 16 or more equal bytes, and
// sixteen items to a 16-bit control word. A block that does not get smaller
// is stored as plain bytes. The stream is the signature "LZStream", a 32-bit
// total and the block records (32-bit length, coded block), all integers
// little-endian.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Streams.h"

// A compressed block or stream is malformed. The message says what is wrong
// and where, e.g. "Compressed stream is corrupt: block 3 at offset 1234: match
// reaches 17 bytes before the start of the block". It is a read error of the
// class library, not an ETypecask: whoever reads the font data treats it like
// any other failure to read the stored bytes.
class ECompressedStreamError : public EReadError {
public:
    using EReadError::EReadError;
};

class TLZStream {
public:
    // The first 8 bytes of every compressed stream: "LZStream", no terminating zero.
    static constexpr char Signature[8] = {'L', 'Z', 'S', 't', 'r', 'e', 'a', 'm'};

    // Input bytes in one block.
    static constexpr std::uint16_t BlockLimit = 32783;
    // The longest coded block: a full block stored copied (marker + bytes).
    static constexpr std::uint16_t CodedBlockLimit = BlockLimit + 1;
    // Room the compressor needs beyond the input size in its output area.
    static constexpr std::uint16_t OutputMargin = 6;
    // Entries of the hash table (signed 16-bit positions, -1 for empty).
    static constexpr int HashTableSize = 4096;

    // First byte of a coded block.
    static constexpr std::uint8_t MarkerCompressed = 0x40;
    static constexpr std::uint8_t MarkerCopied = 0x80;

    // Allocates the hash table; raises Exception("Not enough memory for Hash
    // Table") when it cannot.
    TLZStream();
    ~TLZStream();
    TLZStream(const TLZStream&) = delete;
    TLZStream& operator=(const TLZStream&) = delete;

    // Writes the signature, a total and one block record per read of up to
    // 32783 bytes from Source's position, taking at most Count bytes, to
    // Dest's position. A source that runs dry early ends the stream there
    // with a correct total. Dest must allow its position to be set back (the
    // total is written last); it is left at the end of what was written.
    void Compress(TStream* Source, TStream* Dest, std::int32_t Count);
    // Reads one compressed stream from Source's position and writes the
    // decoded bytes to Dest's position; returns their number. A wrong
    // signature raises ETypecask(msgBadSignature) with nothing written; a
    // stream cut short, a malformed total, block length or block raise
    // ECompressedStreamError, which says where. Blocks decoded before a failure
    // stay written. Bytes after the last block that the total covers stay
    // unread.
    std::int32_t DeCompress(TStream* Source, TStream* Dest);

    // Codes InputSize (<= 32783) bytes of Input as one block into Output,
    // which must have room for InputSize + 6 bytes. Returns the coded length,
    // at most InputSize + 1. Overwrites the hash table.
    std::uint16_t Compression(const std::uint8_t* Input, std::uint8_t* Output, std::uint16_t InputSize);
    // One hash probe at Position: enters Position into Table and returns true
    // when the entry it replaced starts a match of 3 to 18 bytes within the
    // last 4095 bytes; MatchLength and MatchStart then describe it.
    bool GetMatch(const std::uint8_t* Input, std::uint16_t Position, std::uint16_t InputSize, std::int16_t* Table,
                  std::uint16_t& MatchLength, std::uint16_t& MatchStart);
    // Decodes the coded block of InputSize bytes at Input into Output, which
    // must have room for 32783 bytes; returns the number of bytes written.
    // Reads only Input[0, InputSize) and writes only Output[0, 32783), whatever
    // the bytes; a malformed block raises ECompressedStreamError.
    std::uint16_t DeCompression(const std::uint8_t* Input, std::uint8_t* Output, std::uint16_t InputSize);

private:
    std::unique_ptr<std::int16_t[]> FHashTable;
};
