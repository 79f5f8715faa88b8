// The characters a subset of the embedded font keeps: the texts a form
// shows, what programs format at run time, and what the developer adds.
#pragma once

#include "platform/Classes.h"
#include "platform/os/FontFiles.h"

// U+0020 to U+007E: the digits, letters and signs programs format at run
// time (numbers, dates, messages), whatever the form shows.
Os::TCodePoints RunTimeCharacters();

// Adds the characters of the UTF-8 text Text (malformed pieces as U+FFFD)
// to Keep; line ends and other control characters have no glyph and are
// left out.
void AddTextCharacters(Os::TCodePoints& Keep, const AnsiString& Text);

// Adds the characters of List to Keep: ranges and single characters,
// separated by commas or blanks, as "U+0400-U+04FF, U+20AC" (the "U+" may
// be left out of the second bound). Raises EConvertError naming the piece
// that is no such range.
void AddCharacterRanges(Os::TCodePoints& Keep, const AnsiString& List);

// Adds to Keep the characters of every text form data holds (binary or
// text form data): each string and string-list value of every component
// stored in it (captions, texts, lines, items, hints). The form's
// components need not be registered: nothing is constructed. Raises the
// reader's errors for malformed form data.
void AddFormCharacters(Os::TCodePoints& Keep, TStream* FormData);
