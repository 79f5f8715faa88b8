// The block codec: the byte layouts it must produce, what its hash probe
// finds, how it refuses malformed blocks, and agreement with the plain
// reference codec on a corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>

#include "tests/Typecask/compression/CodecTestSupport.h"
#include "tests/Typecask/compression/Corpus.h"
#include "tests/Typecask/compression/ReferenceCodec.h"

namespace {

using namespace CodecTest;

// 32768 bytes without the letters a, b and c (but compressible), then abc
// five times.
TBytes FullBlockEndingInAbc() {
    TBytes Data = Corpus::TextLike(32768, 7);
    for (auto& B : Data)
        if (B == 'a' || B == 'b' || B == 'c') B = 'x';
    const TBytes Tail = Repeat("abc", 5);
    Data.insert(Data.end(), Tail.begin(), Tail.end());
    return Data;
}

struct TLayoutCase {
    const char* Name;
    TBytes Input;
    TBytes Coded;
};

std::vector<TLayoutCase> LayoutCases() {
    TBytes Alphabet = Text("abcdefghijklmnopqrstuvwxyz");
    TBytes Bytes256(256);
    for (int I = 0; I < 256; ++I) Bytes256[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(I);
    return {
        {"abc four times: literals then a 9-byte match", Repeat("abc", 4), Hex("40 10 00 61 62 63 00 36")},
        {"20 a: one run", Repeat("a", 20), Hex("40 80 00 00 00 04 61")},
        {"5000 x: runs of 4095 and 905", Repeat("x", 5000), Hex("40 C0 00 00 0F EF 78 00 03 79 78")},
        {"15 a: literal and match of distance 1", Repeat("a", 15), Hex("40 40 00 61 00 1B")},
        {"16 a: the shortest run", Repeat("a", 16), Hex("40 80 00 00 00 00 61")},
        {"4096 a: longest run and a literal", Repeat("a", 4096), Hex("40 80 00 00 0F EF 61 61")},
        {"6 b: as long as the input stays compressed", Repeat("b", 6), Hex("40 40 00 62 00 12")},
        {"abcdefgh: no matches, stored copied", Text("abcdefgh"), Hex("80 61 62 63 64 65 66 67 68")},
        {"empty input", {}, Hex("80")},
        {"1 byte is stored copied", Text("a"), Hex("80 61")},
        {"2 bytes are stored copied", Text("aa"), Hex("80 61 61")},
        {"3 bytes are stored copied", Text("aaa"), Hex("80 61 61 61")},
        {"alphabet twice: two groups, 35 bytes", Concat({Alphabet, Alphabet}),
         Concat({Hex("40 00 00"), Text("abcdefghijklmnop"), Hex("00 30"), Text("qrstuvwxyz"), Hex("01 AF 01 A5")})},
        {"ab 40 times: positions inside matches are not entered", Repeat("ab", 40),
         Hex("40 3E 00 61 62 00 2F 01 2F 01 2F 01 2F 01 23")},
        {"the 256 byte values are stored copied", Bytes256, Concat({Hex("80"), Bytes256})},
    };
}

TEST(BlockCodec, CodesEveryDocumentedLayoutByteForByteAndBack) {
    TLZStream Codec;
    for (const auto& C : LayoutCases()) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(ToHex(CodeBlock(Codec, C.Input)), ToHex(C.Coded));
        EXPECT_EQ(ToHex(Reference::Compress(C.Input)), ToHex(C.Coded)) << "the reference codec disagrees";
        EXPECT_EQ(DecodeBlock(Codec, C.Coded), C.Input);
    }
}

TEST(BlockCodec, FullBlockEndsInFifteenLiteralsBecauseHighPositionsReadBackNegative) {
    const TBytes Input = FullBlockEndingInAbc();
    ASSERT_EQ(Input.size(), TLZStream::BlockLimit);
    TLZStream Codec;
    const TBytes Coded = CodeBlock(Codec, Input);
    ASSERT_EQ(Coded[0], TLZStream::MarkerCompressed);
    EXPECT_EQ(Coded, Reference::Compress(Input));

    // Walk the items, keeping their kinds and the literal bytes.
    std::size_t P = 1, Items = 0;
    unsigned Control = 0;
    std::string Kinds;
    TBytes Literals;
    while (P < Coded.size()) {
        if (Items % 16 == 0) {
            Control = static_cast<unsigned>(Coded[P] << 8 | Coded[P + 1]);
            P += 2;
        }
        const bool Copy = Control & 0x8000;
        Control <<= 1;
        ++Items;
        if (!Copy) {
            Kinds += 'L';
            Literals.push_back(Coded[P]);
            P += 1;
        } else {
            const bool Run = Coded[P] == 0 && Coded[P + 1] < 16;
            Kinds += Run ? 'R' : 'M';
            P += Run ? 4 : 2;
        }
    }
    EXPECT_EQ(P, Coded.size());
    ASSERT_GE(Kinds.size(), 16u);
    EXPECT_EQ(Kinds.substr(Kinds.size() - 15), std::string(15, 'L'));
    EXPECT_EQ(TBytes(Literals.end() - 15, Literals.end()), Repeat("abc", 5));
    EXPECT_EQ(DecodeBlock(Codec, Coded), Input);
}

// The slot a probe enters its position into is the hash of its three bytes.
TEST(BlockCodec, ProbeEntersThePositionUnderTheHashOfThreeBytes) {
    struct {
        const char* Bytes;
        int Slot;
    } const Cases[] = {{"abc", 0xABD}, {"bca", 0x380}, {"cab", 0x014}};
    TLZStream Codec;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Bytes);
        std::vector<std::int16_t> Table(TLZStream::HashTableSize, -1);
        const TBytes Input = Text(C.Bytes);
        std::uint16_t Length = 0, Start = 0;
        EXPECT_FALSE(Codec.GetMatch(Input.data(), 0, 3, Table.data(), Length, Start));
        const auto Used = std::find(Table.begin(), Table.end(), 0);
        ASSERT_NE(Used, Table.end());
        EXPECT_EQ(Used - Table.begin(), C.Slot);
        EXPECT_EQ(std::count(Table.begin(), Table.end(), -1), TLZStream::HashTableSize - 1);
    }
}

TEST(BlockCodec, ProbeQualifiesCandidatesByDistanceSignAndLength) {
    TLZStream Codec;
    std::vector<std::int16_t> Table(TLZStream::HashTableSize, -1);
    std::uint16_t Length = 0, Start = 0;
    auto Probe = [&](const TBytes& Input, std::size_t At, std::size_t Size) {
        return Codec.GetMatch(Input.data(), static_cast<std::uint16_t>(At), static_cast<std::uint16_t>(Size),
                              Table.data(), Length, Start);
    };
    const TBytes Xyz = Repeat("xyz", 8);
    auto Place = [&](TBytes& Input, std::size_t At, std::size_t Count) {
        std::copy(Xyz.begin(), Xyz.begin() + static_cast<std::ptrdiff_t>(Count),
                  Input.begin() + static_cast<std::ptrdiff_t>(At));
    };

    TBytes Far(5000, 'q');
    Place(Far, 0, 24);
    Place(Far, 4095, 24);
    EXPECT_FALSE(Probe(Far, 0, Far.size())) << "an empty entry";
    ASSERT_TRUE(Probe(Far, 4095, Far.size())) << "distance 4095 qualifies";
    EXPECT_EQ(Start, 0);
    EXPECT_EQ(Length, 18) << "a match is at most 18 bytes";
    Place(Far, 4500, 3);
    ASSERT_TRUE(Probe(Far, 4500, Far.size())) << "the table now holds 4095";
    EXPECT_EQ(Start, 4095);
    EXPECT_EQ(Length, 3) << "the match ends where the bytes differ";

    TBytes TooFar(5000, 'q');
    Place(TooFar, 0, 3);
    Place(TooFar, 4096, 3);
    std::fill(Table.begin(), Table.end(), -1);
    Probe(TooFar, 0, TooFar.size());
    EXPECT_FALSE(Probe(TooFar, 4096, TooFar.size())) << "distance 4096 does not qualify";

    std::fill(Table.begin(), Table.end(), -1);
    Probe(Xyz, 0, 10);
    ASSERT_TRUE(Probe(Xyz, 3, 10));
    EXPECT_EQ(Length, 7) << "an overlapping match, cut by the input size";

    // A position of 32768 or more reads back negative and never qualifies.
    std::fill(Table.begin(), Table.end(), static_cast<std::int16_t>(-32768));
    EXPECT_FALSE(Probe(Xyz, 3, Xyz.size()));
}

// 16 literals "abcdefghijklmnop" as one full group with its control word.
TBytes LiteralGroup() { return Concat({Hex("00 00"), Text("abcdefghijklmnop")}); }

struct TValidCase {
    const char* Name;
    TBytes Block;
    TBytes Decoded;
};

// Seven runs of 4111 and nine literals, then a run of 3800 that fits the
// block but not the margin of the unchecked group loop (which hands it to
// the item-by-item loop mid-group), then 15 + 64 literals.
TValidCase RunNearTheEnd() {
    TBytes Block = Hex("40 FE 00");
    TBytes Decoded;
    for (int I = 0; I < 7; ++I) {
        Block = Concat({Block, Hex("00 0F FF 78")});
        Decoded = Concat({Decoded, Repeat("x", 4111)});
    }
    Block = Concat({Block, Text("abcdefghi"), Hex("80 00 00 0E C8 79"), Text("jklmnopqrstuvwx")});
    Decoded = Concat({Decoded, Text("abcdefghi"), Repeat("y", 3800), Text("jklmnopqrstuvwx")});
    for (int I = 0; I < 4; ++I) {
        Block = Concat({Block, LiteralGroup()});
        Decoded = Concat({Decoded, Text("abcdefghijklmnop")});
    }
    return {"a long run near the end of the output", Block, Decoded};
}

TEST(BlockCodec, DecodesEdgeFormsTheCoderNeverWrites) {
    const TValidCase Cases[] = {
        RunNearTheEnd(),
        {"copied block of one byte is empty", Hex("80"), {}},
        {"compressed block of 1 to 3 bytes is empty", Hex("40 12 34"), {}},
        {"a lone marker of another value counts as compressed", Hex("00"), {}},
        {"any marker but 0x80 is compressed", Hex("7F 40 00 61 00 1B"), Repeat("a", 15)},
        {"the longest run the decoder takes, 4111", Hex("40 80 00 00 0F FF 78"), Repeat("x", 4111)},
        {"bits after the last item are ignored", Hex("40 7F FF 61"), Text("a")},
        {"match of distance 1 repeats the last byte", Hex("40 40 00 61 00 1F"), Repeat("a", 19)},
    };
    TLZStream Codec;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(DecodeBlock(Codec, C.Block), C.Decoded);
        const auto R = Reference::Decompress(C.Block);
        EXPECT_TRUE(R.Ok);
        EXPECT_EQ(R.Data, C.Decoded);
    }
}

struct TMalformedCase {
    const char* Name;
    TBytes Block;
    const char* Message;
};

std::vector<TMalformedCase> MalformedCases() {
    TBytes MaxRuns;  // 7 runs of 4111 and one of 4006: exactly 32783 bytes
    for (int I = 0; I < 7; ++I) MaxRuns = Concat({MaxRuns, Hex("00 0F FF 78")});
    MaxRuns = Concat({MaxRuns, Hex("00 0F 96 78")});
    TBytes TooManyRuns;  // 8 runs of 4111
    for (int I = 0; I < 8; ++I) TooManyRuns = Concat({TooManyRuns, Hex("00 0F FF 78")});
    // 7 groups of literals (112 bytes, offsets 1 to 126), then a match 200
    // back at offset 129 and enough bytes after it that the decoder's
    // unchecked group loop handles it.
    TBytes FarMatch = Hex("40");
    for (int I = 0; I < 7; ++I) FarMatch = Concat({FarMatch, LiteralGroup()});
    FarMatch = Concat({FarMatch, Hex("80 00 0C 83"), TBytes(120, '-')});
    return {
        {"an empty block", {}, "at offset 0: the block is empty"},
        {"a block longer than the longest copied block", TBytes(32785, 0x80),
         "at offset 0: the block length 32785 passes 32784"},
        {"a run cut off after one byte", Hex("40 80 00 00"), "at offset 3: item cut off by the end of the block"},
        {"a run cut off after three bytes", Hex("40 80 00 00 00 05"), "at offset 3: item cut off"},
        {"a match cut off", Hex("40 40 00 61 00"), "at offset 4: item cut off"},
        {"a control word cut off", Concat({Hex("40"), LiteralGroup(), Hex("00")}),
         "at offset 19: control word cut off by the end of the block"},
        {"a block that ends in a control word", Concat({Hex("40"), LiteralGroup(), Hex("00 00")}),
         "at offset 21: item cut off by the end of the block"},
        {"a match before the start", Hex("40 80 00 00 30"),
         "at offset 3: match reaches 3 bytes before the start of the block"},
        {"a match one byte too far", Hex("40 40 00 61 00 20"), "at offset 4: match reaches 1 bytes before the start"},
        {"a match before the start, far from the ends", FarMatch,
         "at offset 129: match reaches 88 bytes before the start of the block"},
        {"output past 32783 bytes by a run", Concat({Hex("40 FF 00"), TooManyRuns}),
         "at offset 31: an item of 4111 bytes makes the block decode to more than 32783 bytes"},
        {"output past 32783 bytes by a literal", Concat({Hex("40 FF 00"), MaxRuns, Text("a")}),
         "at offset 35: an item of 1 bytes makes the block"},
        {"output past 32783 bytes by a match", Concat({Hex("40 FF 80"), MaxRuns, Hex("00 10")}),
         "at offset 35: an item of 3 bytes makes the block"},
    };
}

TEST(BlockCodec, RefusesMalformedBlocksSayingWhatAndWhere) {
    TLZStream Codec;
    for (const auto& C : MalformedCases()) {
        SCOPED_TRACE(C.Name);
        try {
            DecodeBlock(Codec, C.Block);
            ADD_FAILURE() << "accepted";
        } catch (const ECompressedStreamError& E) {
            EXPECT_EQ(std::string(E.what()).rfind("Compressed block is corrupt: ", 0), 0u) << E.what();
            EXPECT_NE(std::string(E.what()).find(C.Message), std::string::npos) << E.what();
        }
        EXPECT_FALSE(Reference::Decompress(C.Block).Ok) << "the reference accepts it";
    }
}

TEST(BlockCodec, HostileBlocksNeverWritePastTheBlockLimit) {
    // A literal and fifteen runs leave Gap bytes of room; then a group of
    // sixteen 18-byte matches (288 bytes), the most one group can write,
    // with enough input after it for the decoder's unchecked group loop.
    // Whatever that loop writes ahead of an item must stay inside the
    // output: the bytes after it are a guard that must come back untouched.
    constexpr std::size_t Guard = 64;
    constexpr std::uint8_t Canary = 0xA5;
    const TBytes Distance1 = Hex("00 1F"), Distance8 = Hex("00 8F");
    for (const unsigned Gap : {288u, 290u, 303u}) {
        for (const TBytes& Match : {Distance1, Distance8}) {
            SCOPED_TRACE("room " + std::to_string(Gap) + ", match " + ToHex(Match));
            TBytes Block = Concat({Hex("40 7F FF"), Text("p")});
            const unsigned Runs = TLZStream::BlockLimit - Gap - 1;
            for (int I = 0; I < 14; ++I) Block = Concat({Block, Hex("00 08 88 72")});  // 2200 r
            const unsigned Last = Runs - 14 * 2200 - 16;
            Block = Concat({Block, TBytes{0x00, static_cast<std::uint8_t>(Last >> 8), static_cast<std::uint8_t>(Last), 0x72}});
            Block = Concat({Block, Hex("FF FF")});
            for (int I = 0; I < 16; ++I) Block = Concat({Block, Match});
            for (int I = 0; I < 3; ++I) Block = Concat({Block, LiteralGroup()});

            TBytes Out(TLZStream::BlockLimit + Guard, Canary);
            TLZStream Codec;
            try {
                Codec.DeCompression(Block.data(), Out.data(), static_cast<std::uint16_t>(Block.size()));
                ADD_FAILURE() << "accepted";
            } catch (const ECompressedStreamError& E) {
                EXPECT_NE(std::string(E.what()).find("decode to more than 32783 bytes"), std::string::npos) << E.what();
            }
            EXPECT_EQ(std::count(Out.end() - Guard, Out.end(), Canary), static_cast<std::ptrdiff_t>(Guard))
                << "bytes written past the block limit";
            EXPECT_EQ(Out[TLZStream::BlockLimit - Gap + 287], 'r') << "the matches were not decoded";
        }
    }
}

// The offset of a fault as the decoder's message gives it.
std::size_t FaultOffset(const std::string& Message) {
    std::smatch M;
    if (!std::regex_search(Message, M, std::regex("at offset ([0-9]+):"))) return SIZE_MAX;
    return std::stoul(M[1]);
}

TEST(BlockCodec, AgreesWithTheReferenceOnDamagedBlocks) {
    // Valid blocks of every kind, then damaged copies: flipped bytes, cut
    // ends, inserted bytes. Both decoders accept the same blocks with the same
    // output and refuse the others at the same item.
    TLZStream Codec;
    std::vector<TBytes> Seeds;
    for (const auto& C : LayoutCases()) Seeds.push_back(C.Coded);
    for (std::uint32_t S = 1; S <= 3; ++S) {
        Seeds.push_back(CodeBlock(Codec, Corpus::TextLike(3000 * S, S)));
        Seeds.push_back(CodeBlock(Codec, Corpus::Runs(32783, S)));
    }
    std::mt19937 Rng(12345);
    int Refused = 0, Accepted = 0;
    for (int Round = 0; Round < 3000; ++Round) {
        TBytes Block = Seeds[Rng() % Seeds.size()];
        for (unsigned Edits = 1 + Rng() % 4; Edits > 0 && !Block.empty(); --Edits) {
            const std::size_t At = Rng() % Block.size();
            switch (Rng() % 4) {
                case 0: Block[At] = static_cast<std::uint8_t>(Rng()); break;
                case 1: Block[At] ^= static_cast<std::uint8_t>(1u << (Rng() % 8)); break;
                case 2: Block.resize(At); break;
                default: Block.insert(Block.begin() + static_cast<std::ptrdiff_t>(At), static_cast<std::uint8_t>(Rng()));
            }
        }
        if (Block.size() > TLZStream::CodedBlockLimit) continue;
        const auto Expected = Reference::Decompress(Block);
        try {
            const TBytes Got = DecodeBlock(Codec, Block);
            ASSERT_TRUE(Expected.Ok) << "accepted a block the reference refuses: " << ToHex(Block);
            ASSERT_EQ(Got, Expected.Data) << ToHex(Block);
            ++Accepted;
        } catch (const ECompressedStreamError& E) {
            ASSERT_FALSE(Expected.Ok) << E.what() << ": " << ToHex(Block);
            ASSERT_EQ(FaultOffset(E.what()), Expected.Offset) << E.what();
            ++Refused;
        }
    }
    EXPECT_GT(Refused, 100);
    EXPECT_GT(Accepted, 100);
}

// Byte for byte the same blocks as the reference, and back, for every kind
// of data and for the sizes around the word-at-a-time limits.
TEST(BlockCodec, CodesLikeTheReferenceAndRestoresTheInput) {
    std::vector<Corpus::TSample> Samples = {
        {"text", Corpus::TextLike(200000, 1)},
        {"random", Corpus::Random(70000, 2)},
        {"runs", Corpus::Runs(200000, 3)},
    };
    for (auto& F : Corpus::InstalledFonts(6u << 20)) Samples.push_back(std::move(F));
    TLZStream Codec;
    for (const auto& S : Samples) {
        SCOPED_TRACE(S.Name);
        for (std::size_t At = 0; At < S.Data.size(); At += TLZStream::BlockLimit) {
            const TBytes Block(S.Data.begin() + static_cast<std::ptrdiff_t>(At),
                               S.Data.begin() + static_cast<std::ptrdiff_t>(
                                                    std::min(S.Data.size(), At + TLZStream::BlockLimit)));
            const TBytes Coded = CodeBlock(Codec, Block);
            ASSERT_EQ(Coded, Reference::Compress(Block)) << "block at " << At;
            ASSERT_LE(Coded.size(), Block.size() + 1);
            ASSERT_EQ(DecodeBlock(Codec, Coded), Block) << "block at " << At;
        }
    }
    // Every size from 0 to 100 and around the 16- and 18-byte word limits,
    // from data with runs and repeats in it.
    const TBytes Mixed = Corpus::Runs(4096, 9);
    for (std::size_t Size = 0; Size <= 100; ++Size) {
        for (std::size_t From : {std::size_t{0}, std::size_t{1000}, std::size_t{3000}}) {
            const TBytes Block(Mixed.begin() + static_cast<std::ptrdiff_t>(From),
                               Mixed.begin() + static_cast<std::ptrdiff_t>(From + Size));
            const TBytes Coded = CodeBlock(Codec, Block);
            ASSERT_EQ(Coded, Reference::Compress(Block)) << Size << " bytes from " << From;
            ASSERT_EQ(DecodeBlock(Codec, Coded), Block) << Size << " bytes from " << From;
        }
    }
}

}  // namespace
