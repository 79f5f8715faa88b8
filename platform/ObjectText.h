// The text form of form data and its conversion to and from the binary form:
//
//     object Typecask1: TTypecask
//       InstallPermanently = False
//       TypecaskName.TTFontName = 'DejaVu Sans'
//       TrueTypeFontResource = {
//         4C5A53747265616D...
//       }
//     end
//
// Texts are quoted with '...' ('' for a quote) and #nn for other characters,
// sets are [a, b], lists ( ... ), collections < item ... end >, binary
// values { hex } with 32 bytes to a line.
#pragma once

#include "platform/Streams.h"

// The text form of form data does not parse; the message gives the line.
class EParserError : public Exception {
public:
    using Exception::Exception;
};

// Converts the binary form data at Input's position into text at Output's
// position. Raises EReadError for data that is not form data.
void ObjectBinaryToText(TStream* Input, TStream* Output);
// Converts text form data into the binary form. Raises EParserError.
void ObjectTextToBinary(TStream* Input, TStream* Output);
