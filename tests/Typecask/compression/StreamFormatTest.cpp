// The compressed stream: framing, totals, positions, and how malformed or
// cut-short streams are refused, saying where.
#include <gtest/gtest.h>

#include <cstring>

#include "Typecask/support/Errors.h"
#include "tests/Typecask/compression/CodecTestSupport.h"
#include "tests/Typecask/compression/Corpus.h"
#include "tests/Typecask/compression/ReferenceCodec.h"

namespace {

using namespace CodecTest;

TBytes Contents(TMemoryStream& S) { return TBytes(S.GetMemory(), S.GetMemory() + S.GetSize()); }

TMemoryStream* Fill(TMemoryStream& S, const TBytes& Data) {
    S.Clear();
    if (!Data.empty()) S.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
    S.SetPosition(0);
    return &S;
}

TBytes CompressAll(const TBytes& Data) {
    TMemoryStream Source, Dest;
    TLZStream Codec;
    Codec.Compress(Fill(Source, Data), &Dest, static_cast<std::int32_t>(Data.size()));
    return Contents(Dest);
}

TBytes Le32(std::int32_t V) {
    const auto U = static_cast<std::uint32_t>(V);
    return {static_cast<std::uint8_t>(U), static_cast<std::uint8_t>(U >> 8), static_cast<std::uint8_t>(U >> 16),
            static_cast<std::uint8_t>(U >> 24)};
}

const TBytes SignatureBytes = Hex("4C 5A 53 74 72 65 61 6D");

struct TStreamCase {
    const char* Name;
    TBytes Data;
    TBytes Stream;  // empty: checked against the reference framing only
};

TEST(StreamFormat, WritesTheDocumentedStreamsAndReadsThemBack) {
    TBytes Bytes256(256);
    for (int I = 0; I < 256; ++I) Bytes256[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(I);
    const TBytes Full = Corpus::TextLike(TLZStream::BlockLimit + 1, 5);
    const TStreamCase Cases[] = {
        {"abc four times", Repeat("abc", 4), Hex("4C 5A 53 74 72 65 61 6D 0C 00 00 00 08 00 00 00 40 10 00 61 62 63 00 36")},
        {"nothing", {}, Hex("4C 5A 53 74 72 65 61 6D 00 00 00 00")},
        {"the 256 byte values: one copied block", Bytes256,
         Concat({SignatureBytes, Le32(4 + 257), Le32(257), Hex("80"), Bytes256})},
        {"32783 bytes: one block", TBytes(Full.begin(), Full.end() - 1), {}},
        {"32784 bytes: two blocks, the second copied", Full, {}},
    };
    TLZStream Codec;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TBytes Stream = CompressAll(C.Data);
        if (!C.Stream.empty()) {
            EXPECT_EQ(ToHex(Stream), ToHex(C.Stream));
        }
        EXPECT_EQ(Stream, Reference::CompressStream(C.Data));

        TMemoryStream Source, Dest;
        EXPECT_EQ(Codec.DeCompress(Fill(Source, Stream), &Dest), static_cast<std::int32_t>(C.Data.size()));
        EXPECT_EQ(Contents(Dest), C.Data);
        EXPECT_EQ(Source.GetPosition(), Source.GetSize());
    }
    // The second block of 32784 bytes is the marker and the last byte.
    const TBytes Two = CompressAll(Full);
    EXPECT_EQ(TBytes(Two.end() - 6, Two.end()), Concat({Le32(2), Hex("80"), TBytes{Full.back()}}));
}

TEST(StreamFormat, RoundTripsTheCorpusThroughMemoryStreams) {
    std::vector<Corpus::TSample> Samples = {
        {"text", Corpus::TextLike(300000, 11)},
        {"random", Corpus::Random(100000, 12)},
        {"runs", Corpus::Runs(300000, 13)},
    };
    for (auto& F : Corpus::InstalledFonts(3u << 20)) Samples.push_back(std::move(F));
    TLZStream Codec;  // one object for every call
    for (const auto& S : Samples) {
        SCOPED_TRACE(S.Name);
        TMemoryStream Source, Compressed, Restored;
        Codec.Compress(Fill(Source, S.Data), &Compressed, static_cast<std::int32_t>(S.Data.size()));
        EXPECT_EQ(Contents(Compressed), Reference::CompressStream(S.Data));
        Compressed.SetPosition(0);
        EXPECT_EQ(Codec.DeCompress(&Compressed, &Restored), static_cast<std::int32_t>(S.Data.size()));
        EXPECT_TRUE(Contents(Restored) == S.Data);
    }
}

TEST(StreamFormat, CompressWritesTheTotalAtItsPlaceWhereverDestStarts) {
    TMemoryStream Source, Dest;
    Dest.WriteBuffer("prefix", 6);
    TLZStream Codec;
    Codec.Compress(Fill(Source, Repeat("abc", 4)), &Dest, 12);
    EXPECT_EQ(Dest.GetPosition(), 6 + 24) << "Dest is left at the end of what was written";
    EXPECT_EQ(Contents(Dest), Concat({Text("prefix"), CompressAll(Repeat("abc", 4))}));

    Dest.SetPosition(6);
    TMemoryStream Restored;
    EXPECT_EQ(Codec.DeCompress(&Dest, &Restored), 12);
    EXPECT_EQ(Contents(Restored), Repeat("abc", 4));
}

TEST(StreamFormat, CompressTakesAtMostCountAndStopsCleanlyWhenTheSourceRunsDry) {
    const TBytes Data = Corpus::TextLike(40000, 3);
    TLZStream Codec;
    {
        SCOPED_TRACE("Count larger than the source");
        TMemoryStream Source, Dest, Restored;
        Codec.Compress(Fill(Source, Data), &Dest, 1000000);
        EXPECT_EQ(Contents(Dest), Reference::CompressStream(Data)) << "a correct total for what was written";
        Dest.SetPosition(0);
        EXPECT_EQ(Codec.DeCompress(&Dest, &Restored), 40000);
    }
    {
        SCOPED_TRACE("Count smaller than the source");
        TMemoryStream Source, Dest;
        Fill(Source, Data);
        Source.SetPosition(100);
        Codec.Compress(&Source, &Dest, 5000);
        EXPECT_EQ(Source.GetPosition(), 5100) << "bytes after Count are not read";
        EXPECT_EQ(Contents(Dest), Reference::CompressStream(TBytes(Data.begin() + 100, Data.begin() + 5100)));
    }
    {
        SCOPED_TRACE("negative Count");
        TMemoryStream Source, Dest;
        Codec.Compress(Fill(Source, Data), &Dest, -5);
        EXPECT_EQ(Contents(Dest), CompressAll({}));
    }
}

// A stream that accepts only so many bytes, then writes nothing.
class TFullStream : public TMemoryStream {
public:
    explicit TFullStream(std::int64_t Room) : FRoom(Room) {}
    std::int64_t Write(const void* Buffer, std::int64_t Count) override {
        if (GetPosition() + Count > FRoom) return 0;
        return TMemoryStream::Write(Buffer, Count);
    }

private:
    std::int64_t FRoom;
};

TEST(StreamFormat, WriteFailuresPassThroughAndLeaveThePlaceholderTotal) {
    const TBytes Data = Corpus::TextLike(100000, 4);
    TLZStream Codec;
    TMemoryStream Source;
    TFullStream Dest(20000);
    EXPECT_THROW(Codec.Compress(Fill(Source, Data), &Dest, static_cast<std::int32_t>(Data.size())), EWriteError);
    ASSERT_GE(Dest.GetSize(), 12);
    EXPECT_EQ(TBytes(Dest.GetMemory() + 8, Dest.GetMemory() + 12), Le32(0));

    TMemoryStream Compressed;
    Fill(Compressed, CompressAll(Data));
    TFullStream Small(40000);
    EXPECT_THROW(Codec.DeCompress(&Compressed, &Small), EWriteError);
    EXPECT_EQ(Small.GetSize(), TLZStream::BlockLimit) << "the block before the failure stays written";
}

TEST(StreamFormat, WrongSignatureRaisesMessage11AndWritesNothing) {
    const TBytes Good = CompressAll(Repeat("abc", 4));
    for (std::size_t I = 0; I < 8; ++I) {
        SCOPED_TRACE(I);
        TBytes Bad = Good;
        Bad[I] ^= 0x20;  // also a change of case
        TMemoryStream Source, Dest;
        TLZStream Codec;
        try {
            Codec.DeCompress(Fill(Source, Bad), &Dest);
            ADD_FAILURE() << "accepted";
        } catch (const ETypecask& E) {
            EXPECT_STREQ(E.what(), "LZRW compressed stream signature is wrong");
        }
        EXPECT_EQ(Dest.GetSize(), 0);
        EXPECT_EQ(Source.GetPosition(), 8);
    }
}

TEST(StreamFormat, StreamsCutShortSayWhereTheDataEndsKeepingEarlierBlocks) {
    const TBytes Data = Corpus::TextLike(3 * TLZStream::BlockLimit, 8);
    const TBytes Stream = CompressAll(Data);
    const std::size_t FirstLength = Stream[12] | Stream[13] << 8;
    const std::size_t Second = 12 + 4 + FirstLength;
    const std::size_t Third = Second + 4 + (Stream[Second] | Stream[Second + 1] << 8);
    const std::size_t ThirdLength = Stream.size() - Third - 4;
    auto Ends = [](const std::string& Where, std::size_t Got, std::size_t Of, const char* What) {
        return "Compressed stream is corrupt: " + Where + ": the data ends after " + std::to_string(Got) + " of the " +
               std::to_string(Of) + " bytes of " + What;
    };
    struct {
        const char* Name;
        std::size_t Keep;
        std::size_t Written;
        std::string Message;  // how the message starts
    } const Cases[] = {
        {"inside the signature", 5, 0, Ends("at offset 0", 5, 8, "the signature")},
        {"inside the total", 10, 0, Ends("at offset 8", 2, 4, "the total")},
        {"inside the first block length", 14, 0,
         Ends("block 1 at offset 12", 2, 4, "the block length") + ", where the total promises " +
             std::to_string(Stream.size() - 12) + " more bytes"},
        {"inside the first block", Second - 1, 0, Ends("block 1 at offset 16", FirstLength - 1, FirstLength, "the block")},
        {"inside the third block length", Third + 2, 2 * TLZStream::BlockLimit,
         Ends("block 3 at offset " + std::to_string(Third), 2, 4, "the block length")},
        {"inside the third block", Stream.size() - 1, 2 * TLZStream::BlockLimit,
         Ends("block 3 at offset " + std::to_string(Third + 4), ThirdLength - 1, ThirdLength, "the block")},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TMemoryStream Source, Dest;
        TLZStream Codec;
        try {
            Codec.DeCompress(Fill(Source, TBytes(Stream.begin(), Stream.begin() + static_cast<std::ptrdiff_t>(C.Keep))),
                             &Dest);
            ADD_FAILURE() << "accepted";
        } catch (const ECompressedStreamError& E) {
            EXPECT_EQ(std::string(E.what()).rfind(C.Message, 0), 0u) << E.what();
        }
        EXPECT_EQ(Contents(Dest), TBytes(Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(C.Written)));
    }
}

TEST(StreamFormat, BytesAfterTheLastBlockStayUnread) {
    const TBytes Stream = CompressAll(Repeat("abc", 4));
    TMemoryStream Source, Dest;
    TLZStream Codec;
    EXPECT_EQ(Codec.DeCompress(Fill(Source, Concat({Stream, Text("trailing")})), &Dest), 12);
    EXPECT_EQ(Source.GetPosition(), static_cast<std::int64_t>(Stream.size()));
}

struct TCorruptCase {
    const char* Name;
    TBytes Stream;
    const char* Message;
};

TEST(StreamFormat, RefusesMalformedFramingSayingWhatAndWhere) {
    const TBytes Block = Hex("40 10 00 61 62 63 00 36");  // abc four times
    const TBytes Record = Concat({Le32(8), Block});
    const TCorruptCase Cases[] = {
        {"a negative total", Concat({SignatureBytes, Le32(-12), Record}),
         "Compressed stream is corrupt: at offset 8: the total -12 is negative"},
        {"a total that ends inside a record", Concat({SignatureBytes, Le32(12 + 3), Record, Record}),
         "Compressed stream is corrupt: block 2 at offset 24: the total ends 3 bytes into a block record"},
        {"a block length of 0", Concat({SignatureBytes, Le32(12 + 5), Record, Le32(0), Hex("00")}),
         "Compressed stream is corrupt: block 2 at offset 24: block length 0 is not between 1 and 32784"},
        {"a negative block length", Concat({SignatureBytes, Le32(20), Le32(-8), Block}),
         "Compressed stream is corrupt: block 1 at offset 12: block length -8 is not between 1 and 32784"},
        {"a block length above 32784", Concat({SignatureBytes, Le32(40000), Le32(32785), TBytes(32785, 0x80)}),
         "Compressed stream is corrupt: block 1 at offset 12: block length 32785 is not between 1 and 32784"},
        {"a block longer than the total says", Concat({SignatureBytes, Le32(12 - 2), Record}),
         "Compressed stream is corrupt: block 1 at offset 12: block length 8 passes the end of the stream by 2 bytes"},
        {"a total larger than the data", Concat({SignatureBytes, Le32(12 + 20), Record}),
         "Compressed stream is corrupt: block 2 at offset 24: the data ends after 0 of the 4 bytes of the block length, "
         "where the total promises 20 more bytes"},
        {"a bad block after a good one", Concat({SignatureBytes, Le32(12 + 9), Record, Le32(5), Hex("40 80 00 00 30")}),
         "Compressed stream is corrupt: block 2 at offset 31: match reaches 3 bytes before the start of the block"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TMemoryStream Source, Dest;
        TLZStream Codec;
        try {
            Codec.DeCompress(Fill(Source, C.Stream), &Dest);
            ADD_FAILURE() << "accepted";
        } catch (const ECompressedStreamError& E) {
            EXPECT_STREQ(E.what(), C.Message);
        }
    }
    // A corrupt stream is a read error of the class library, not an ETypecask.
    TMemoryStream Source, Dest;
    TLZStream Codec;
    try {
        Codec.DeCompress(Fill(Source, Cases[0].Stream), &Dest);
    } catch (const ETypecask&) {
        ADD_FAILURE() << "must not be an ETypecask";
    } catch (const EReadError&) {
    }
}

}  // namespace
