// Pieces that the font-road commands of the host share: the root of a form
// the host works on, reading and writing form data, and what a form's
// TTypecask holds.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "platform/os/FontFiles.h"
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

// What form data says of each TTypecask in it, read without constructing
// anything (so without installing anything).
struct TTypecaskSummary {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Properties;  // as stored, in order
    AnsiString FamilyName;                                        // TypecaskName.TTFontName
    bool HasFontData = false;
    std::int64_t CompressedSize = 0;
    std::int64_t FontSize = 0;
    std::string DataError;                   // why the font data cannot be restored
    std::vector<AnsiString> DeclaredFamilies;  // the families the font file itself declares
    Os::TFontEmbedding Embedding;              // what the font file's licence allows
};
std::vector<TTypecaskSummary> SummarizeForm(TStream* Input);

// Renders a line of text in Family to a PNG file.
void RenderSample(const AnsiString& Family, const std::string& FileName);

// "12.3 KiB", "4.56 MiB": sizes for people.
std::string FormatSize(std::int64_t Bytes);

}  // namespace Tool
