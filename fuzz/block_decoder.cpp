// Any bytes as one coded block: the decoder reads only the block and writes
// only its 32783-byte output area (the sanitizers watch both, allocated to
// the byte), and it accepts exactly the blocks the plain reference decoder
// accepts, with the same output.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Typecask/compression/LZStream.h"
#include "tests/Typecask/compression/ReferenceCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size > 65535) return -1;  // InputSize is 16 bits
    static TLZStream Codec;
    const auto Block = std::make_unique<std::uint8_t[]>(Size == 0 ? 1 : Size);
    if (Size) std::memcpy(Block.get(), Data, Size);
    const auto Out = std::make_unique<std::uint8_t[]>(TLZStream::BlockLimit);
    const auto Expected = Reference::Decompress(Reference::TBytes(Data, Data + Size));
    try {
        const std::uint16_t N = Codec.DeCompression(Block.get(), Out.get(), static_cast<std::uint16_t>(Size));
        if (!Expected.Ok || N != Expected.Data.size() ||
            (N != 0 && std::memcmp(Out.get(), Expected.Data.data(), N) != 0))
            std::abort();  // accepted a block the reference refuses, or decoded it differently
    } catch (const ECompressedStreamError&) {
        if (Expected.Ok) std::abort();  // refused a block the reference accepts
    }
    return 0;
}
