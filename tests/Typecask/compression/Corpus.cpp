#include "tests/Typecask/compression/Corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace Corpus {

namespace fs = std::filesystem;

TBytes TextLike(std::size_t Size, std::uint32_t Seed) {
    static const char* const Words[] = {
        "the",   "of",     "and",     "a",      "to",      "in",     "is",     "font",   "glyph",  "table",
        "that",  "for",    "it",      "with",   "as",      "was",    "on",     "be",     "at",     "by",
        "this",  "outline", "kerning", "hinting", "metrics", "width", "height", "ascent", "descent", "point",
        "curve", "contour", "unicode", "mapping", "version", "family", "style",  "weight", "italic", "regular",
    };
    constexpr std::size_t WordCount = sizeof Words / sizeof Words[0];
    std::mt19937 Rng(Seed);
    // The smaller of two uniform draws favours the first words of the list.
    std::uniform_int_distribution<std::size_t> Pick(0, WordCount - 1);
    std::uniform_int_distribution<int> Punct(0, 19);
    TBytes Out;
    Out.reserve(Size + 16);
    std::size_t LineLength = 0;
    while (Out.size() < Size) {
        const char* W = Words[std::min(Pick(Rng), Pick(Rng))];
        Out.insert(Out.end(), W, W + std::char_traits<char>::length(W));
        LineLength += std::char_traits<char>::length(W) + 1;
        const int P = Punct(Rng);
        if (P == 0) Out.push_back('.');
        if (P == 1) Out.push_back(',');
        if (LineLength > 70) {
            Out.push_back('\n');
            LineLength = 0;
        } else {
            Out.push_back(' ');
        }
    }
    Out.resize(Size);
    return Out;
}

TBytes Random(std::size_t Size, std::uint32_t Seed) {
    std::mt19937 Rng(Seed);
    TBytes Out(Size);
    for (auto& B : Out) B = static_cast<std::uint8_t>(Rng());
    return Out;
}

TBytes Runs(std::size_t Size, std::uint32_t Seed) {
    std::mt19937 Rng(Seed);
    TBytes Out;
    Out.reserve(Size);
    while (Out.size() < Size) {
        switch (Rng() % 4) {
            case 0: Out.insert(Out.end(), 1 + Rng() % 40, static_cast<std::uint8_t>(Rng() % 3)); break;
            case 1: Out.insert(Out.end(), Rng() % 5000, static_cast<std::uint8_t>(Rng())); break;
            case 2:
                for (unsigned N = Rng() % 12; N > 0; --N) Out.push_back(static_cast<std::uint8_t>(Rng()));
                break;
            default: {
                // A short pattern repeated, distance 1 to 9.
                const std::size_t Period = 1 + Rng() % 9;
                const std::size_t Repeat = 2 + Rng() % 30;
                TBytes Pattern(Period);
                for (auto& B : Pattern) B = static_cast<std::uint8_t>(Rng());
                for (std::size_t I = 0; I < Period * Repeat; ++I) Out.push_back(Pattern[I % Period]);
            }
        }
    }
    Out.resize(Size);
    return Out;
}

std::vector<TSample> FontFiles(const std::vector<std::string>& Folders, std::size_t MaxBytes) {
    std::vector<TSample> Result;
    std::size_t Total = 0;
    for (const auto& Entry : Folders) {
        std::vector<fs::path> Files;
        std::error_code Ec;
        const fs::path Path(Entry);
        if (fs::is_regular_file(Path, Ec)) {
            Files.push_back(Path);
        } else if (fs::is_directory(Path, Ec)) {
            for (const auto& F : fs::directory_iterator(Path, Ec))
                if (F.path().extension() == ".ttf") Files.push_back(F.path());
        }
        std::sort(Files.begin(), Files.end());
        for (const auto& F : Files) {
            const auto Size = static_cast<std::size_t>(fs::file_size(F, Ec));
            if (Ec || Total + Size > MaxBytes) continue;
            std::ifstream In(F, std::ios::binary);
            TBytes Data((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
            if (Data.size() != Size) continue;
            Total += Size;
            Result.push_back({F.filename().string(), std::move(Data)});
        }
    }
    return Result;
}

std::vector<std::string> FontFolders() {
    const std::string Root = "/usr/share/fonts/truetype/";
    return {Root + "dejavu/DejaVuSans.ttf",
            Root + "dejavu/DejaVuSans-Bold.ttf",
            Root + "dejavu/DejaVuSansMono.ttf",
            Root + "dejavu/DejaVuSansMono-Bold.ttf",
            Root + "dejavu/DejaVuSerif.ttf",
            Root + "dejavu/DejaVuSerif-Bold.ttf",
            Root + "liberation2",
            Root + "noto/NotoSansSignWriting-Regular.ttf",
            Root + "noto/NotoSerifTangut-Regular.ttf",
            Root + "noto/NotoSansCuneiform-Regular.ttf",
            Root + "noto/NotoSerif-Regular.ttf"};
}

std::vector<TSample> InstalledFonts(std::size_t MaxBytes) { return FontFiles(FontFolders(), MaxBytes); }

}  // namespace Corpus
