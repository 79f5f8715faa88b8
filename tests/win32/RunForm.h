// A run-time form of the Windows tests, whose component carries a generated
// font in its form data.
#pragma once

#include <string>

#include "Typecask/component/Typecask.h"
#include "Typecask/compression/LZStream.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tools/fontgen/FontGen.h"

namespace ComponentTest {

// A run-time form whose component carries the bytes of a generated font of
// Family in its form data; Load reads it, which installs the font.
struct TRunForm {
    TRunForm(const std::string& Family, bool Permanent) : Form(false) {
        FontGen::TFontSpec Font;
        Font.FamilyName = Family;
        const auto Bytes = FontGen::BuildTrueTypeFont(Font);
        FontBytes.assign(Bytes.begin(), Bytes.end());
        TMemoryStream Raw, Packed;
        Raw.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
        Raw.SetPosition(0);
        TLZStream().Compress(&Raw, &Packed, static_cast<std::int32_t>(Bytes.size()));
        const auto PackedBytes = StreamBytes(&Packed);
        const std::string Hex = BytesToHex(PackedBytes.data(), PackedBytes.size());
        TextToForm("object Form1: TTestForm\n  object Typecask1: TTypecask\n" +
                       std::string(Permanent ? "" : "    InstallPermanently = False\n") +
                       "    TypecaskName.TTFontName = '" + Family + "'\n    TrueTypeFontResource = {\n" + Hex +
                       "}\n  end\nend\n",
                   Data);
    }
    void Load() { LoadForm(Data, Form.Root); }
    TTypecask* Typecask() const { return dynamic_cast<TTypecask*>(Form.Root->Components(0)); }

    TForm Form;
    TMemoryStream Data;
    std::string FontBytes;
};

}  // namespace ComponentTest
