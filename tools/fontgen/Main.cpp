// typecask-fontgen: writes a small TrueType font with block letters.
#include <charconv>
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
    "  -h, --help           show this help\n";

int Number(const std::string& Option, const std::string& Text) {
    int Value = 0;
    const auto [Ptr, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Ec != std::errc() || Ptr != Text.data() + Text.size())
        throw FontGen::EFontGen(Option + " needs a whole number, not \"" + Text + "\"");
    return Value;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        FontGen::TFontSpec FontSpec;
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
                FontSpec.FamilyName = Value();
            } else if (Arg == "--weight") {
                FontSpec.Weight = Number(Arg, Value());
            } else if (Arg == "--italic") {
                FontSpec.Italic = true;
            } else if (Arg == "--units-per-em") {
                FontSpec.UnitsPerEm = Number(Arg, Value());
            } else if (Arg == "--ascender") {
                FontSpec.Ascender = Number(Arg, Value());
            } else if (Arg == "--descender") {
                FontSpec.Descender = Number(Arg, Value());
            } else if (Arg == "--line-gap") {
                FontSpec.LineGap = Number(Arg, Value());
            } else if (Arg == "--cap-height") {
                FontSpec.CapHeight = Number(Arg, Value());
            } else if (Arg.size() > 1 && Arg[0] == '-') {
                throw FontGen::EFontGen("unknown option " + Arg);
            } else if (Out.empty()) {
                Out = Arg;
            } else {
                throw FontGen::EFontGen("too many arguments");
            }
        }
        if (Out.empty() || FontSpec.FamilyName.empty()) {
            std::cerr << "typecask-fontgen: " << (Out.empty() ? "missing output file" : "missing --family") << "\n\n"
                      << Usage;
            return 2;
        }
        FontGen::WriteTrueTypeFont(FontSpec, Out);
        return 0;
    } catch (const Exception& E) {
        std::cerr << "typecask-fontgen: " << E.GetMessage() << '\n';
        return 1;
    }
}
