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

// Every family name that the font file FileName declares: its family and
// typographic family names (name records 1 and 16, in any language the
// file carries), of every face of a collection, each once. Only the names
// are read, not the whole file. Empty when the file cannot be read or is no
// font.
std::vector<AnsiString> GetFontFileDeclaredFamilies(const AnsiString& FileName);

}  // namespace Os
