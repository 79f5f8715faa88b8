// What form data carries, read without constructing anything (so without
// installing anything): each TTypecask's stored properties and its font, in
// form data or in the forms of a module file (a program, a library or a
// plug-in that is not loaded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Classes.h"
#include "platform/Forms.h"
#include "platform/os/FontFiles.h"

// What form data says of one TTypecask in it.
struct TTypecaskSummary {
    std::string Name;
    // As stored, in order; a binary value as "{ N bytes }".
    std::vector<std::pair<std::string, std::string>> Properties;
    AnsiString FamilyName;  // TypecaskName.TTFontName
    bool HasFontData = false;
    std::int64_t CompressedSize = 0;
    std::int64_t FontSize = 0;
    std::string DataError;  // why the font data cannot be restored
    // The restored font file, byte for byte as it was embedded.
    std::vector<std::uint8_t> Font;
    // What the font file says of itself: the families it declares and what
    // its licence allows.
    std::vector<AnsiString> DeclaredFamilies;
    Os::TFontEmbedding Embedding;
    Os::TFontSubsetInfo Subset;
};

// "subset of N glyphs, tag ABCDEF" for a subset, empty for a whole font.
std::string SubsetDescription(const Os::TFontSubsetInfo& Subset);

// Input itself when it holds binary form data (it starts with the
// signature), else Converted filled with the binary form of its text.
TStream* BinaryFormData(TStream* Input, TMemoryStream& Converted);

// Each TTypecask in form data (binary, or text that starts with "object"),
// nested ones included, in the order of the data. Raises the reader's
// errors for malformed form data.
std::vector<TTypecaskSummary> SummarizeForm(TStream* Input);

// One form of a module file and the TTypecask components in it.
struct TModuleFormSummary {
    TFormResource Form;  // its Data point into Resources
    std::vector<TTypecaskSummary> Typecasks;
    std::string Error;  // why the form data cannot be read (Typecasks then empty)
};

struct TModuleForms {
    std::shared_ptr<const Os::TResourceImage> Resources;
    std::vector<TModuleFormSummary> Forms;
};

// The forms of the module file FileName (a Windows or ELF module, or a .res
// file), read from the file without loading it, each with what its
// TTypecask components carry. Raises EFOpenError when the file cannot be
// opened and Os::EResourceError when its resources cannot be read; a form
// whose data is malformed is listed with the reason.
TModuleForms SummarizeModuleForms(const AnsiString& FileName);
