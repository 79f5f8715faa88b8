// typecask-fontgen: writes a small TrueType font with block letters.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/fontgen/FontGen.h"

namespace {

const char* const Usage =
    "Usage: typecask-fontgen --family NAME [OPTIONS] OUT.ttf\n"
    "Writes a small TrueType font with block letters (A-Z, a-z drawn alike), digits,\n"
    "space and . , - : ! ? under the given family name.\n\n"
    "Options:\n"
    "  --family NAME        family name (required)\n"
    "  --weight N           100..900, 700 and above is bold (default 400)\n"
    "  --italic             mark the font as italic\n"
    "  --units-per-em N     design units per em (default 1000)\n"
    "  --ascender N         ascender in design units (default 800)\n"
    "  --descender N        descender in design units, <= 0 (default -200)\n"
    "  --line-gap N         line gap in design units (default 0)\n"
    "  --cap-height N       letter height in design units (default 70% of the em)\n"
    "  --fs-type N          OS/2 embedding licence, e.g. 0 installable, 2 restricted,\n"
    "                       4 preview & print, 8 editable, 0x0100 no subsetting,\n"
    "                       0x0200 bitmaps only (default 0)\n"
    "  --os2-version N      OS/2 table version, 1 to 4 (default 4)\n"
    "  -h, --help           show this help\n";

int Number(const std::string& Option, const std::string& Text) {
    int Value = 0;
    const auto [Ptr, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Ec != std::errc() || Ptr != Text.data() + Text.size())
        throw FontGen::EFontGen(Option + " needs a whole number, not \"" + Text + "\"");
    return Value;
}

// A 16-bit flag word, decimal or hexadecimal with 0x.
std::uint16_t FlagWord(const std::string& Option, const std::string& Text) {
    const bool Hex = Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
    const char* First = Text.data() + (Hex ? 2 : 0);
    unsigned Value = 0;
    const auto [Ptr, Ec] = std::from_chars(First, Text.data() + Text.size(), Value, Hex ? 16 : 10);
    if (Ec != std::errc() || Ptr != Text.data() + Text.size() || Value > 0xFFFF)
        throw FontGen::EFontGen(Option + " needs a number from 0 to 0xFFFF, not \"" + Text + "\"");
    return static_cast<std::uint16_t>(Value);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        FontGen::TFontDesign FontDesign;
        std::string Out;
        for (int I = 1; I < argc; ++I) {
            const std::string Arg = argv[I];
            auto Value = [&]() -> std::string {
                if (I + 1 >= argc) throw FontGen::EFontGen("option " + Arg + " needs a value");
                return argv[++I];
            };
            if (Arg == "-h" || Arg == "--help") {
                std::cout << Usage;
                return 0;
            } else if (Arg == "--family") {
                FontDesign.FamilyName = Value();
            } else if (Arg == "--weight") {
                FontDesign.Weight = Number(Arg, Value());
            } else if (Arg == "--italic") {
                FontDesign.Italic = true;
            } else if (Arg == "--units-per-em") {
                FontDesign.UnitsPerEm = Number(Arg, Value());
            } else if (Arg == "--ascender") {
                FontDesign.Ascender = Number(Arg, Value());
            } else if (Arg == "--descender") {
                FontDesign.Descender = Number(Arg, Value());
            } else if (Arg == "--line-gap") {
                FontDesign.LineGap = Number(Arg, Value());
            } else if (Arg == "--cap-height") {
                FontDesign.CapHeight = Number(Arg, Value());
            } else if (Arg == "--fs-type") {
                FontDesign.FsType = FlagWord(Arg, Value());
            } else if (Arg == "--os2-version") {
                FontDesign.Os2Version = Number(Arg, Value());
            } else if (Arg.size() > 1 && Arg[0] == '-') {
                throw FontGen::EFontGen("unknown option " + Arg);
            } else if (Out.empty()) {
                Out = Arg;
            } else {
                throw FontGen::EFontGen("too many arguments");
            }
        }
        if (Out.empty() || FontDesign.FamilyName.empty()) {
            std::cerr << "typecask-fontgen: " << (Out.empty() ? "missing output file" : "missing --family") << "\n\n"
                      << Usage;
            return 2;
        }
        FontGen::WriteTrueTypeFont(FontDesign, Out);
        return 0;
    } catch (const Exception& E) {
        std::cerr << "typecask-fontgen: " << E.GetMessage() << '\n';
        return 1;
    }
}
