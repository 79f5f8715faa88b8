// Conversion between UTF-8 and UTF-16, with one rule for malformed text used
// everywhere text changes form.
//
// Malformed UTF-8 is a stray continuation byte, a lead byte that cannot
// start a sequence (C0, C1, F5 to FF), a sequence cut short, an overlong
// form (a code point in more bytes than it needs), an encoded surrogate
// (U+D800 to U+DFFF) or a code point past U+10FFFF. Malformed UTF-16 is a
// surrogate without its partner. A converter replaces each malformed piece
// (the longest start of a sequence that could still have been well formed,
// or one unit) with U+FFFD, so that nothing malformed ever turns into
// another character: in particular no NUL comes out of anything but a NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/System.h"

constexpr char32_t ReplacementChar = 0xFFFD;

// Decodes the sequence at Text[Pos] and moves Pos past it. A malformed
// piece gives ReplacementChar, sets Malformed when given, and Pos moves past
// the piece only (at least one byte). Pos must be before the end.
char32_t DecodeUtf8(std::string_view Text, std::size_t& Pos, bool* Malformed = nullptr);

// Appends code point C as UTF-8; a surrogate or a value past U+10FFFF is
// appended as U+FFFD.
void AppendUtf8(AnsiString& Out, char32_t C);
// Appends code point C as one or two UTF-16 units; a surrogate or a value
// past U+10FFFF is appended as U+FFFD.
void AppendUtf16(std::u16string& Out, char32_t C);

// The length of the longest prefix of Text, at most Max bytes, that does not
// end inside a character: what remains when a byte limit (a face name's
// size, say) cuts UTF-8 text.
std::size_t Utf8PrefixLength(std::string_view Text, std::size_t Max);

// Whether Text is well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view Text);
// Text with every malformed piece replaced by U+FFFD.
AnsiString ValidUtf8(std::string_view Text);

std::u16string Utf8ToUtf16(std::string_view Text);
AnsiString Utf16ToUtf8(std::u16string_view Text);
// Count UTF-16 units stored little-endian at Data (no alignment needed), as
// resources and form data keep them.
AnsiString Utf16LEToUtf8(const std::uint8_t* Data, std::size_t Count);

// The code points of UTF-8 text, each malformed piece as U+FFFD.
std::u32string Utf8ToCodePoints(std::string_view Text);
// UTF-8 text of code points; a surrogate or a value past U+10FFFF becomes U+FFFD.
AnsiString CodePointsToUtf8(std::u32string_view Text);
