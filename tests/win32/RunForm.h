// A run-time form of the Windows tests, whose component carries a generated
// font in its form data.
#pragma once

#include <string>

#include "Typecask/component/Typecask.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tools/fontgen/FontGen.h"

namespace ComponentTest {

// A run-time form whose component carries the bytes of a generated font of
// Family in its form data; Load reads it, which installs the font.
struct TRunForm {
    TRunForm(const std::string& Family, bool Permanent) : Form(false) {
        FontGen::TFontDesign Font;
        Font.FamilyName = Family;
        const auto Bytes = FontGen::BuildTrueTypeFont(Font);
        FontBytes.assign(Bytes.begin(), Bytes.end());
        FontForm(Family, Compressed(FontBytes), Permanent, Data);
    }
    void Load() { LoadForm(Data, Form.Root); }
    TTypecask* Typecask() const { return dynamic_cast<TTypecask*>(Form.Root->Components(0)); }

    TForm Form;
    TMemoryStream Data;
    std::string FontBytes;
};

}  // namespace ComponentTest
