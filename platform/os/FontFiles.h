// What a font file says of itself, read from its bytes.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/System.h"

namespace Os {

// The family name of each face in the font file held in Data, as the font
// table reports the family once the file is added (the first family name of
// the face). Empty when the bytes are no font.
std::vector<AnsiString> GetFontFileFamilies(const void* Data, std::size_t Size);

}  // namespace Os
