// Any bytes as a compressed stream: DeCompress either restores them or raises
// one of the documented errors (wrong signature, stream cut short, corrupt
// stream); it never touches memory outside its buffers, never hangs, and
// returns the number of bytes it wrote.
#include <cstdint>
#include <cstdlib>

#include "Typecask/compression/LZStream.h"
#include "Typecask/support/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream Source, Dest;
    if (Size) Source.WriteBuffer(Data, static_cast<std::int64_t>(Size));
    Source.SetPosition(0);
    TLZStream Codec;
    try {
        const std::int32_t N = Codec.DeCompress(&Source, &Dest);
        if (N != Dest.GetSize()) std::abort();
    } catch (const ETypecask& E) {
        if (E.GetMessage() != "LZRW compressed stream signature is wrong" || Dest.GetSize() != 0) std::abort();
    } catch (const EReadError&) {
        // cut short ("Stream read error") or corrupt (ECompressedStreamError)
    }
    return 0;
}
