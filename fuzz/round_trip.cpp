// Any bytes compressed and restored: the coded blocks are those of the plain
// reference coder, never longer than the input + 1, and decode to the input;
// the whole stream restores the input as well.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Typecask/compression/LZStream.h"
#include "tests/Typecask/compression/ReferenceCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static TLZStream Codec;
    for (std::size_t At = 0; At == 0 || At < Size; At += TLZStream::BlockLimit) {
        const std::size_t N = std::min<std::size_t>(Size - At, TLZStream::BlockLimit);
        // Buffers allocated to the byte, so that the sanitizers see any overrun.
        const auto In = std::make_unique<std::uint8_t[]>(N + 1);
        if (N) std::memcpy(In.get(), Data + At, N);
        const auto Coded = std::make_unique<std::uint8_t[]>(N + TLZStream::OutputMargin);
        const std::uint16_t L = Codec.Compression(In.get(), Coded.get(), static_cast<std::uint16_t>(N));
        if (L > N + 1) std::abort();
        const auto Expected = Reference::Compress(Reference::TBytes(Data + At, Data + At + N));
        if (Expected.size() != L || std::memcmp(Expected.data(), Coded.get(), L) != 0) std::abort();
        const auto Exact = std::make_unique<std::uint8_t[]>(L);
        std::memcpy(Exact.get(), Coded.get(), L);
        const auto Out = std::make_unique<std::uint8_t[]>(TLZStream::BlockLimit);
        if (Codec.DeCompression(Exact.get(), Out.get(), L) != N) std::abort();
        if (N && std::memcmp(Out.get(), Data + At, N) != 0) std::abort();
    }

    TMemoryStream Source, Compressed, Restored;
    if (Size) Source.WriteBuffer(Data, static_cast<std::int64_t>(Size));
    Source.SetPosition(0);
    Codec.Compress(&Source, &Compressed, static_cast<std::int32_t>(Size));
    Compressed.SetPosition(0);
    if (Codec.DeCompress(&Compressed, &Restored) != static_cast<std::int32_t>(Size)) std::abort();
    if (Size && std::memcmp(Restored.GetMemory(), Data, Size) != 0) std::abort();
    return 0;
}
