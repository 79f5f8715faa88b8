// Any bytes as a font file: the family reader lists the families of its
// faces or nothing, the licence reader gives a licence, the subset reader
// says whether it is a subset, and tagging its PostScript name makes a font
// or raises Os::EFontSubset, none reading outside the bytes.
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/TextConv.h"
#include "platform/os/FontFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // A copy allocated to the byte, so that the sanitizer sees any read past it.
    const auto Copy = std::make_unique<std::uint8_t[]>(Size + 1);
    if (Size) std::memcpy(Copy.get(), Data, Size);
    for (const AnsiString& Family : Os::GetFontFileFamilies(Copy.get(), Size))
        if (!IsValidUtf8(Family)) std::abort();  // family names are handed out as UTF-8
    Os::GetFontEmbedding(Copy.get(), Size);
    const auto Subset = Os::GetFontSubsetInfo(Copy.get(), Size);
    if (Subset.IsSubset != (Subset.Tag.size() == 6)) std::abort();
    Os::FindFontFace(Copy.get(), Size, "A");
    try {
        const auto Tagged = Os::TagPostScriptName(Copy.get(), Size, "ABCDEF");
        if (Tagged.size() % 4 != 0) std::abort();  // every table on a four-byte boundary
    } catch (const Os::EFontSubset&) {
    }
    return 0;
}
