// Pieces that the font-road commands of the host share: the root of a form
// the host works on, reading and writing form data, and what a form's
// TTypecask holds.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Typecask/component/FormFonts.h"
#include "Typecask/component/Typecask.h"
#include "platform/Classes.h"

namespace Tool {

// Reads form data (binary, or text that starts with "object") into Root.
// Root keeps its state: in design state (csDesigning) the reader goes on
// after a property error, printing it on stderr, as a form designer does.
void ReadForm(TStream* Input, TComponent* Root);
// Writes Root as form data, binary or text.
void WriteForm(TComponent* Root, TStream* Output, bool Text);
// The first TTypecask that Root owns, or nullptr.
TTypecask* FindTypecask(TComponent* Root);

// Renders lines of text in Family to a PNG file: the family's name, letters
// and digits, and Extra when it is not empty.
void RenderSample(const AnsiString& Family, const std::string& FileName, const AnsiString& Extra = {});

// "12.3 KiB", "4.56 MiB": sizes for people.
std::string FormatSize(std::int64_t Bytes);

}  // namespace Tool
