// TLZStream: block codec and stream format.
//
// Coded block
//   byte 0      marker: 0x80 copied (the input bytes follow unchanged),
//               anything else compressed (the coder writes 0x40)
//   then groups: a 16-bit control word, high byte first, followed by 1 to 16
//   items. Bit 15 describes the group's first item: 0 a literal, 1 a copy.
//     literal   1 byte, the byte itself
//     match     2 bytes, (D << 4) | (L - 3), high byte first: copy L (3..18)
//               bytes from D (1..4095) bytes back; the source may overlap the
//               bytes being written, which repeats short patterns
//     run       4 bytes, 00, (N - 16) >> 8, (N - 16) & 0xFF, value: N equal
//               bytes (the coder writes 16..4095, the decoder takes ..4111);
//               a distance of 0 in the first 12 bits tells it from a match
//   The block ends with its last item; it never ends in a control word.
//
// Stream
//   "LZStream", total (int32), then records of [length L (int32), L bytes],
//   where total = sum of (4 + L). Integers are little-endian.
//
// Speed. Both directions work on raw pointers with unaligned loads through
// memcpy. The decoder runs whole groups without per-item bounds checks while
// the group cannot reach either end of its buffers; near the ends, and for a
// run too long for that margin, it goes item by item with every check. In a
// group it finds the copy items by counting trailing zeros of the
// bit-reversed control word, copies the literals before each one sixteen
// bytes at a time, and copies matches eight or sixteen bytes at a time; bytes
// written past an item are overwritten by the next one. The coder takes one
// 8-byte load per position for the run test, the hash and the first compare
// of a match, keeps the probe to a single branch, and falls back to checked
// byte steps for the last 32 bytes of a block.
#include "Typecask/compression/LZStream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <typeinfo>

#include "Typecask/support/Errors.h"

namespace {

using std::uint8_t;
using std::uint16_t;
using std::uint32_t;
using std::uint64_t;

constexpr unsigned BlockLimit = TLZStream::BlockLimit;
constexpr unsigned CodedBlockLimit = TLZStream::CodedBlockLimit;
constexpr unsigned MaxDistance = 4095;
constexpr unsigned MinMatch = 3;
constexpr unsigned MaxMatch = 18;
constexpr unsigned MinRun = 16;
constexpr unsigned MaxRunWritten = 4095;
constexpr unsigned ItemsPerGroup = 16;

// ------------------------------------------------------------ raw access

inline uint16_t Load16BE(const uint8_t* P) { return static_cast<uint16_t>(P[0] << 8 | P[1]); }
inline void Store16BE(uint8_t* P, unsigned V) {
    P[0] = static_cast<uint8_t>(V >> 8);
    P[1] = static_cast<uint8_t>(V);
}
inline uint32_t Load32(const uint8_t* P) {
    uint32_t V;
    std::memcpy(&V, P, 4);
    return V;
}
inline uint64_t Load64(const uint8_t* P) {
    uint64_t V;
    std::memcpy(&V, P, 8);
    return V;
}
inline void Copy8(uint8_t* D, const uint8_t* S) { std::memcpy(D, S, 8); }
inline void Copy16(uint8_t* D, const uint8_t* S) { std::memcpy(D, S, 16); }

// The number of equal low-order bytes of two words read with Load64.
inline unsigned EqualBytes(uint64_t Diff) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<unsigned>(std::countr_zero(Diff)) / 8;
    else
        return static_cast<unsigned>(std::countl_zero(Diff)) / 8;
}

// ------------------------------------------------------------------ coder

// Hash of the three bytes at a position: bits 4 to 15 of the product, so the
// same in any integer width of 16 bits or more.
inline unsigned Hash(unsigned B0, unsigned B1, unsigned B2) {
    const unsigned V = ((B0 << 4) ^ B1) << 4 ^ B2;
    return (V * 40543u >> 4) & 0x0FFF;
}

// The hash at X; near the end the bytes past the input count as 0 (no match
// can start there, so their hash never changes the output).
inline unsigned HashAt(const uint8_t* In, unsigned X, unsigned Size) {
    if (X + 4 <= Size) {
        const uint32_t W = Load32(In + X);
        if constexpr (std::endian::native == std::endian::little) return Hash(W & 0xFF, W >> 8 & 0xFF, W >> 16 & 0xFF);
    }
    return Hash(In[X], X + 1 < Size ? In[X + 1] : 0, X + 2 < Size ? In[X + 2] : 0);
}

// How many bytes from X on equal those from Q on, at most Limit (<= 18).
// Q < X; the two ranges may overlap, both lie in the input.
inline unsigned MatchLengthAt(const uint8_t* In, unsigned Q, unsigned X, unsigned Limit) {
    if (Limit == MaxMatch - 8) {
        // The last 10 bytes of a match whose first 8 are equal.
        const uint64_t Diff = Load64(In + Q) ^ Load64(In + X);
        if (Diff != 0) return EqualBytes(Diff);
        if (In[Q + 8] != In[X + 8]) return 8;
        return In[Q + 9] != In[X + 9] ? 9 : 10;
    }
    if (Limit == MaxMatch) {
        // 18 bytes available: two word compares and two byte compares.
        uint64_t Diff = Load64(In + Q) ^ Load64(In + X);
        if (Diff != 0) return EqualBytes(Diff);
        Diff = Load64(In + Q + 8) ^ Load64(In + X + 8);
        if (Diff != 0) return 8 + EqualBytes(Diff);
        if (In[Q + 16] != In[X + 16]) return 16;
        return In[Q + 17] != In[X + 17] ? 17 : 18;
    }
    unsigned L = 0;
    while (L < Limit && In[X + L] == In[Q + L]) ++L;
    return L;
}

// One probe at X: enters X into the table and returns the length (>= 3) of
// the match at the entry it replaced, or 0.
inline unsigned Probe(const uint8_t* In, unsigned X, unsigned Size, int16_t* Table, unsigned& Start) {
    const unsigned H = HashAt(In, X, Size);
    const int Q = Table[H];  // a position of 32768 or more reads back negative: never a candidate
    Table[H] = static_cast<int16_t>(X);
    if (Q < 0 || static_cast<int>(X) - Q > static_cast<int>(MaxDistance)) return 0;
    const unsigned L = MatchLengthAt(In, static_cast<unsigned>(Q), X, std::min(MaxMatch, Size - X));
    Start = static_cast<unsigned>(Q);
    return L >= MinMatch ? L : 0;
}

// The number of bytes from X on that equal the byte at X, when that is at
// least 16; otherwise some number below 16. At most 4095 and Size - X.
inline unsigned RunLength(const uint8_t* In, unsigned X, unsigned Size) {
    const unsigned Limit = std::min(MaxRunWritten, Size - X);
    if (Limit < MinRun) return 0;
    const uint64_t Pattern = In[X] * 0x0101010101010101ull;
    if (Load64(In + X) != Pattern || Load64(In + X + 8) != Pattern) return 0;
    unsigned N = MinRun;
    while (N + 8 <= Limit) {
        const uint64_t Diff = Load64(In + X + N) ^ Pattern;
        if (Diff != 0) return N + EqualBytes(Diff);
        N += 8;
    }
    while (N < Limit && In[X + N] == In[X]) ++N;
    return N;
}

// ---------------------------------------------------------------- decoder

// Why a block was refused, and where (offset of the item in the block).
struct TBlockFault {
    enum TKind { Empty, TooLong, ControlCut, ItemCut, MatchBeforeStart, OutputOverflow } Kind;
    unsigned Offset = 0;
    unsigned Detail = 0;  // TooLong: the length; MatchBeforeStart: how far; OutputOverflow: item length
};

AnsiString Describe(const TBlockFault& F) {
    switch (F.Kind) {
        case TBlockFault::Empty: return "the block is empty";
        case TBlockFault::TooLong: return Format("the block length %d passes %d", {F.Detail, CodedBlockLimit});
        case TBlockFault::ControlCut: return "control word cut off by the end of the block";
        case TBlockFault::ItemCut: return "item cut off by the end of the block";
        case TBlockFault::MatchBeforeStart:
            return Format("match reaches %d bytes before the start of the block", {F.Detail});
        case TBlockFault::OutputOverflow:
            return Format("an item of %d bytes makes the block decode to more than %d bytes", {F.Detail, BlockLimit});
    }
    return "unknown fault";
}

// A group in the fast loop may consume 2 + 16 * 4 bytes and reads up to 16
// bytes past its last literal; it may write up to 16 * 18 bytes plus 16 past
// its last item.
constexpr unsigned FastInputMargin = 2 + ItemsPerGroup * 4 + 16;
constexpr unsigned FastOutputMargin = ItemsPerGroup * MaxMatch + 16;

// Item by item, the control word sits in the top 16 bits with a marker bit
// below it; once the marker reaches bit 31 the group is done.
constexpr uint32_t GroupDone = 0x80000000u;
inline uint32_t ControlBits(const uint8_t* P) { return static_cast<uint32_t>(Load16BE(P)) << 16 | 0x8000u; }

// The group loop wants item i in bit i instead: each byte's bits reversed.
constexpr auto ReversedBytes = [] {
    std::array<uint8_t, 256> T{};
    for (unsigned B = 0; B < 256; ++B)
        for (unsigned I = 0; I < 8; ++I)
            if (B & (1u << I)) T[B] |= static_cast<uint8_t>(0x80u >> I);
    return T;
}();

// Copies a match of L (3..18) bytes from D bytes back; may write up to 24
// bytes from Dst (those past the match are overwritten by later items). Dst - D
// is at or after the start of the output.
inline void CopyMatch(uint8_t* Dst, unsigned D, unsigned L) {
    const uint8_t* Src = Dst - D;
    if (D >= 8) {
        // Each word reads bytes written before it (by an earlier item or by
        // the word before); the last two bytes are needed only by L > 16.
        Copy8(Dst, Src);
        Copy8(Dst + 8, Src + 8);
        std::memcpy(Dst + 16, Src + 16, 2);
    } else {
        // The first 8 bytes one at a time (each may read the one D before),
        // then whole words from a multiple of D that is at least 8 back.
        for (unsigned I = 0; I < 8; ++I) Dst[I] = Src[I];
        if (L > 8) {
            static constexpr uint8_t Step[8] = {0, 8, 8, 9, 8, 10, 12, 14};
            Copy8(Dst + 8, Dst + 8 - Step[D]);
            if (L > 16) Copy8(Dst + 16, Dst + 16 - Step[D]);
        }
    }
}

// Decodes a block; returns its decoded length, or -1 with Fault set.
int DecodeBlock(const uint8_t* In, uint8_t* Out, unsigned Size, TBlockFault& Fault) {
    if (Size == 0) return Fault = {TBlockFault::Empty, 0, 0}, -1;
    if (Size > CodedBlockLimit) return Fault = {TBlockFault::TooLong, 0, Size}, -1;
    if (In[0] == TLZStream::MarkerCopied) {
        std::memcpy(Out, In + 1, Size - 1);
        return static_cast<int>(Size - 1);
    }
    if (Size <= 3) return 0;

    uint8_t* const Start = Out;
    uint8_t* const Limit = Out + BlockLimit;
    std::size_t P = 1;        // read position: the first control word
    uint32_t C = GroupDone;   // no control bits left

    for (;;) {
        // Whole groups, far from both ends: no bounds checks but the match
        // distance and the run length. With item i's bit in bit i, the copy
        // items are found by counting trailing zeros, and where an item
        // starts follows from its index and the copy items before it, so
        // the items' bytes can be loaded ahead of the output they produce.
        while (C == GroupDone && P + FastInputMargin <= Size &&
               static_cast<std::size_t>(Limit - Out) >= FastOutputMargin) {
            const uint8_t* const Items = In + P + 2;
            uint32_t Copies = ReversedBytes[In[P]] | static_cast<uint32_t>(ReversedBytes[In[P + 1]]) << 8;
            const uint8_t* Base = Items;  // item K starts at Base + K: the copy items so far are longer than one
            unsigned Next = 0;            // index of the first item not yet decoded
            while (Copies != 0) {
                const auto K = static_cast<unsigned>(std::countr_zero(Copies));
                Copies &= Copies - 1;
                // Items Next to K - 1 are literals: up to 16, copied at once.
                Copy16(Out, Base + Next);
                Out += K - Next;
                const uint8_t* const Item = Base + K;
                const unsigned W = Load16BE(Item);
                const unsigned D = W >> 4;
                if (D != 0) {
                    if (Out - Start < static_cast<std::ptrdiff_t>(D))
                        return Fault = {TBlockFault::MatchBeforeStart, static_cast<unsigned>(Item - In),
                                        D - static_cast<unsigned>(Out - Start)}, -1;
                    const unsigned L = (W & 0x0F) + MinMatch;
                    CopyMatch(Out, D, L);
                    Out += L;
                    Base += 1;
                } else {
                    const unsigned R = ((W & 0x0F) << 8 | Item[2]) + MinRun;
                    if (static_cast<std::size_t>(Limit - Out) < R + FastOutputMargin) {
                        // Too long for the margin: finish the group item by item.
                        P = static_cast<std::size_t>(Item - In);
                        C = static_cast<uint32_t>(Load16BE(Items - 2)) << (16 + K) | 0x8000u << K;
                        goto ItemByItem;
                    }
                    std::memset(Out, Item[3], R);
                    Out += R;
                    Base += 3;
                }
                Next = K + 1;
            }
            Copy16(Out, Base + Next);
            Out += ItemsPerGroup - Next;
            P = static_cast<std::size_t>(Base + ItemsPerGroup - In);
        }
    ItemByItem:
        // One item with every check.
        if (C == GroupDone) {
            if (P + 2 > Size) return Fault = {TBlockFault::ControlCut, static_cast<unsigned>(P), 0}, -1;
            C = ControlBits(In + P);
            P += 2;
        }
        const std::size_t Room = static_cast<std::size_t>(Limit - Out);
        const auto At = static_cast<unsigned>(P);
        if ((C & 0x80000000u) == 0) {
            if (P >= Size) return Fault = {TBlockFault::ItemCut, At, 0}, -1;
            if (Room == 0) return Fault = {TBlockFault::OutputOverflow, At, 1}, -1;
            *Out++ = In[P++];
        } else {
            if (P + 2 > Size) return Fault = {TBlockFault::ItemCut, At, 0}, -1;
            const unsigned W = Load16BE(In + P);
            const unsigned D = W >> 4;
            if (D != 0) {
                const unsigned L = (W & 0x0F) + MinMatch;
                if (D > static_cast<std::size_t>(Out - Start))
                    return Fault = {TBlockFault::MatchBeforeStart, At, D - static_cast<unsigned>(Out - Start)}, -1;
                if (L > Room) return Fault = {TBlockFault::OutputOverflow, At, L}, -1;
                const uint8_t* Src = Out - D;
                for (unsigned I = 0; I < L; ++I) Out[I] = Src[I];  // in order: overlap repeats the bytes
                Out += L;
                P += 2;
            } else {
                if (P + 4 > Size) return Fault = {TBlockFault::ItemCut, At, 0}, -1;
                const unsigned R = ((W & 0x0F) << 8 | In[P + 2]) + MinRun;
                if (R > Room) return Fault = {TBlockFault::OutputOverflow, At, R}, -1;
                std::memset(Out, In[P + 3], R);
                Out += R;
                P += 4;
            }
        }
        C <<= 1;
        if (P >= Size) return static_cast<int>(Out - Start);
    }
}

// ------------------------------------------------------------------ stream

void WriteInt32(TStream* Stream, std::int32_t Value) {
    const auto U = static_cast<uint32_t>(Value);
    const uint8_t Bytes[4] = {static_cast<uint8_t>(U), static_cast<uint8_t>(U >> 8), static_cast<uint8_t>(U >> 16),
                              static_cast<uint8_t>(U >> 24)};
    Stream->WriteBuffer(Bytes, 4);
}

[[noreturn]] void RaiseCorrupt(int Block, std::int64_t Offset, const AnsiString& What) {
    if (Block == 0) throw ECompressedStreamError(Format("Compressed stream is corrupt: at offset %d: %s", {Offset, What}));
    throw ECompressedStreamError(
        Format("Compressed stream is corrupt: block %d at offset %d: %s", {Block, Offset, What}));
}

// Reads Count bytes of the part What of the stream (at Offset, in Block) into
// Area; data that ends before them is corrupt, and the message says where
// and how much was there.
void ReadPart(TStream* Source, void* Area, std::int32_t Count, int Block, std::int64_t Offset, const char* What,
              std::int64_t Promised = -1) {
    auto* P = static_cast<uint8_t*>(Area);
    std::int64_t Got = 0;
    while (Got < Count) {
        const std::int64_t N = Source->Read(P + Got, Count - Got);
        if (N <= 0) break;
        Got += N;
    }
    if (Got < Count)
        RaiseCorrupt(Block, Offset,
                     Format("the data ends after %d of the %d bytes of %s", {Got, Count, What}) +
                         (Promised >= 0 ? Format(", where the total promises %d more bytes", {Promised}) : AnsiString()));
}

std::int32_t ReadInt32(TStream* Source, int Block, std::int64_t Offset, const char* What, std::int64_t Promised = -1) {
    uint8_t B[4];
    ReadPart(Source, B, 4, Block, Offset, What, Promised);
    return static_cast<std::int32_t>(static_cast<uint32_t>(B[0]) | static_cast<uint32_t>(B[1]) << 8 |
                                     static_cast<uint32_t>(B[2]) << 16 | static_cast<uint32_t>(B[3]) << 24);
}

// The next Count bytes of Source: read into Area, or, from a plain memory
// stream, where they lie (the decoder reads nothing outside them either way).
const uint8_t* ReadBlock(TStream* Source, uint8_t* Area, std::int32_t Count, int Block, std::int64_t Offset,
                         std::int64_t Promised) {
    if (typeid(*Source) == typeid(TMemoryStream)) {
        auto* Memory = static_cast<TMemoryStream*>(Source);
        const std::int64_t Position = Memory->GetPosition();
        if (Position >= 0 && Memory->GetSize() - Position >= Count) {
            Memory->SetPosition(Position + Count);
            return Memory->GetMemory() + Position;
        }
    }
    ReadPart(Source, Area, Count, Block, Offset, "the block", Promised);
    return Area;
}

}  // namespace

// ----------------------------------------------------------------- TLZStream

TLZStream::TLZStream() : FHashTable(new (std::nothrow) std::int16_t[HashTableSize]) {
    if (!FHashTable) throw Exception("Not enough memory for Hash Table");
}

TLZStream::~TLZStream() = default;

bool TLZStream::GetMatch(const std::uint8_t* Input, std::uint16_t Position, std::uint16_t InputSize,
                         std::int16_t* Table, std::uint16_t& MatchLength, std::uint16_t& MatchStart) {
    unsigned Start = 0;
    const unsigned L = Probe(Input, Position, InputSize, Table, Start);
    if (L == 0) return false;
    MatchLength = static_cast<uint16_t>(L);
    MatchStart = static_cast<uint16_t>(Start);
    return true;
}

std::uint16_t TLZStream::Compression(const std::uint8_t* Input, std::uint8_t* Output, std::uint16_t InputSize) {
    int16_t* const Table = FHashTable.get();
    std::memset(Table, 0xFF, HashTableSize * sizeof(int16_t));  // every entry -1

    const unsigned Size = InputSize;
    Output[0] = MarkerCompressed;
    unsigned ControlPos = 1;  // where the current group's control word goes
    unsigned Y = 3;           // write position
    unsigned X = 0;           // read position
    unsigned Items = 0;       // items in the current group
    unsigned Control = 0;     // its control bits so far, first item highest

    // Opens a new group when the current one is full; every item calls it.
    auto NextItem = [&] {
        if (Items == ItemsPerGroup) {
            Store16BE(Output + ControlPos, Control);  // the next 16 shifts push the old bits out
            ControlPos = Y;
            Y += 2;
            Items = 0;
        }
        ++Items;
    };
    // A run: the table is not touched, and its start is not entered.
    auto PutRun = [&](unsigned N) {
        Output[Y] = 0;
        Store16BE(Output + Y + 1, N - MinRun);
        Output[Y + 3] = Input[X];
        Y += 4;
        X += N;
        Control = Control << 1 | 1;
    };
    auto PutMatch = [&](unsigned Distance, unsigned L) {
        Store16BE(Output + Y, Distance << 4 | (L - MinMatch));
        Y += 2;
        X += L;
        Control = Control << 1 | 1;
    };
    auto PutLiteral = [&] {
        Output[Y++] = Input[X++];
        Control <<= 1;
    };

    // Stop as soon as the coded form passes the input size: it will be
    // stored copied. One pass can add 6 bytes (control word and a run).

    // Far from the end one 8-byte load at X serves the run test, the hash and
    // the first compare of a match.
    if constexpr (std::endian::native == std::endian::little) {
        const unsigned FastEnd = Size > 32 ? Size - 32 : 0;
        while (X < FastEnd && Y <= Size) {
            NextItem();
            const uint64_t W = Load64(Input + X);
            if (((W ^ W >> 8) << 8) == 0 && Load64(Input + X + 8) == W) {  // 16 equal bytes
                PutRun(RunLength(Input, X, Size));
                continue;
            }
            const unsigned H = Hash(W & 0xFF, W >> 8 & 0xFF, W >> 16 & 0xFF);
            const int Q = Table[H];
            Table[H] = static_cast<int16_t>(X);
            // One branch for "a candidate within reach whose first three bytes
            // match": an entry out of reach (empty, negative or too far) is
            // compared with X itself, and Reach = 0 refuses it. Arithmetic
            // rather than conditions, so that the compiler keeps one branch.
            const unsigned Distance = X - static_cast<unsigned>(Q);
            const unsigned Reach = static_cast<unsigned>(Distance - 1 < MaxDistance) & (~static_cast<unsigned>(Q) >> 31);
            const unsigned Candidate = X - Distance * Reach;
            const uint64_t Diff = Load64(Input + Candidate) ^ W;
            if (((Diff & 0xFFFFFF) | (Reach ^ 1)) == 0) {
                const unsigned L =
                    Diff != 0 ? EqualBytes(Diff) : 8 + MatchLengthAt(Input, Candidate + 8, X + 8, MaxMatch - 8);
                PutMatch(X - Candidate, L);
                continue;
            }
            PutLiteral();
        }
    }
    // The rest, or all of it, with every bound checked.
    while (X < Size && Y <= Size) {
        NextItem();
        const unsigned N = RunLength(Input, X, Size);
        if (N >= MinRun) {
            PutRun(N);
            continue;
        }
        unsigned MatchStart;
        const unsigned L = Probe(Input, X, Size, Table, MatchStart);
        if (L != 0)
            PutMatch(X - MatchStart, L);
        else
            PutLiteral();
    }
    // The group's first item goes to bit 15; an empty input leaves 0.
    Store16BE(Output + ControlPos, (Control << (ItemsPerGroup - Items)) & 0xFFFF);

    if (Y > Size) {
        Output[0] = MarkerCopied;
        if (Size != 0) std::memcpy(Output + 1, Input, Size);  // Input may be null when empty
        return static_cast<uint16_t>(Size + 1);
    }
    return static_cast<uint16_t>(Y);
}

std::uint16_t TLZStream::DeCompression(const std::uint8_t* Input, std::uint8_t* Output, std::uint16_t InputSize) {
    TBlockFault Fault{};
    const int N = DecodeBlock(Input, Output, InputSize, Fault);
    if (N < 0)
        throw ECompressedStreamError(
            Format("Compressed block is corrupt: at offset %d: %s", {Fault.Offset, Describe(Fault)}));
    return static_cast<uint16_t>(N);
}

void TLZStream::Compress(TStream* Source, TStream* Dest, std::int32_t Count) {
    Dest->WriteBuffer(Signature, sizeof Signature);
    const std::int64_t TotalPosition = Dest->GetPosition();
    WriteInt32(Dest, 0);  // placeholder until the blocks are written

    // Work areas for one block, allocated once per call.
    const auto InArea = std::make_unique_for_overwrite<uint8_t[]>(BlockLimit);
    const auto OutArea = std::make_unique_for_overwrite<uint8_t[]>(BlockLimit + OutputMargin);
    std::int64_t Total = 0;
    std::int64_t Left = Count;
    while (Left > 0) {
        // Never more than Count: bytes after it are not ours to take.
        const std::int64_t Got = Source->Read(InArea.get(), std::min<std::int64_t>(Left, BlockLimit));
        if (Got <= 0) break;  // the source ran dry: the stream ends with what was written
        const std::uint16_t L = Compression(InArea.get(), OutArea.get(), static_cast<uint16_t>(Got));
        if (Total + 4 + L > std::numeric_limits<std::int32_t>::max())
            throw EStreamError("Compressed stream would pass 2147483647 bytes");
        WriteInt32(Dest, L);
        Dest->WriteBuffer(OutArea.get(), L);
        Total += 4 + L;
        Left -= Got;
    }
    const std::int64_t End = Dest->GetPosition();
    Dest->SetPosition(TotalPosition);
    WriteInt32(Dest, static_cast<std::int32_t>(Total));
    Dest->SetPosition(End);
}

std::int32_t TLZStream::DeCompress(TStream* Source, TStream* Dest) {
    char Head[sizeof Signature];
    ReadPart(Source, Head, sizeof Head, 0, 0, "the signature");
    if (std::memcmp(Head, Signature, sizeof Signature) != 0) throw ETypecask(msgBadSignature);
    std::int64_t Total = ReadInt32(Source, 0, 8, "the total");
    if (Total < 0) RaiseCorrupt(0, 8, Format("the total %d is negative", {Total}));

    const auto InArea = std::make_unique_for_overwrite<uint8_t[]>(CodedBlockLimit);
    const auto OutArea = std::make_unique_for_overwrite<uint8_t[]>(BlockLimit);
    auto* const AppendTo = typeid(*Dest) == typeid(TMemoryStream) ? static_cast<TMemoryStream*>(Dest) : nullptr;
    std::int64_t Written = 0;
    std::int64_t Offset = 12;  // of the current block record, from the signature
    int Block = 0;
    while (Total > 0) {
        ++Block;
        if (Total < 5)
            RaiseCorrupt(Block, Offset, Format("the total ends %d bytes into a block record", {Total}));
        const std::int32_t L = ReadInt32(Source, Block, Offset, "the block length", Total);
        if (L < 1 || L > static_cast<std::int32_t>(CodedBlockLimit))
            RaiseCorrupt(Block, Offset, Format("block length %d is not between 1 and %d", {L, CodedBlockLimit}));
        if (L > Total - 4)
            RaiseCorrupt(Block, Offset,
                         Format("block length %d passes the end of the stream by %d bytes", {L, L - (Total - 4)}));
        const uint8_t* const Coded = ReadBlock(Source, InArea.get(), L, Block, Offset + 4, Total - 4);
        // A memory stream written at its end takes the block in place, which
        // saves copying it; nothing counts as written until the block
        // decoded without fault.
        uint8_t* const InPlace = AppendTo ? AppendTo->ReserveAppend(BlockLimit) : nullptr;
        TBlockFault Fault{};
        const int N = DecodeBlock(Coded, InPlace ? InPlace : OutArea.get(), static_cast<unsigned>(L), Fault);
        if (N < 0) RaiseCorrupt(Block, Offset + 4 + Fault.Offset, Describe(Fault));
        if (Written + N > std::numeric_limits<std::int32_t>::max())
            RaiseCorrupt(Block, Offset, "the data decodes to more than 2147483647 bytes");
        if (InPlace)
            AppendTo->CommitAppend(N);
        else
            Dest->WriteBuffer(OutArea.get(), N);
        Written += N;
        Total -= 4 + L;
        Offset += 4 + L;
    }
    return static_cast<std::int32_t>(Written);
}
