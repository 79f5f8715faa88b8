// The subsetter (platform/os/FontFiles.h): this build has none.
#include "platform/os/FontFiles.h"

namespace Os {

bool CanSubsetFonts() { return false; }

std::vector<std::uint8_t> SubsetFont(const void*, std::size_t, int, const TCodePoints&) {
    throw EFontSubset("Font subsetting is not available in this build (it has no HarfBuzz subsetter)");
}

}  // namespace Os
