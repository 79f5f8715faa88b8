// typecask demo: a short showing of the codec on a built-in sample. Stands in
// until the whole road of a font (pick, store, restore, install) is there.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "Typecask/compression/LZStream.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

// Text-like sample data: words of skewed frequency in lines of about 70
// characters, the same on every run.
void MakeSample(TMemoryStream& Stream, std::size_t Size) {
    static const char* const Words[] = {"the",     "of",      "and",     "font",    "glyph",  "table",  "outline",
                                        "kerning", "hinting", "metrics", "width",   "height", "ascent", "descent",
                                        "unicode", "mapping", "family",  "regular", "italic", "bold"};
    constexpr std::size_t Count = sizeof Words / sizeof Words[0];
    std::mt19937 Rng(2024);
    std::string Text;
    std::size_t Line = 0;
    while (Text.size() < Size) {
        const char* W = Words[std::min(Rng() % Count, Rng() % Count)];
        Text += W;
        Line += std::strlen(W) + 1;
        Text += Line > 70 ? '\n' : ' ';
        if (Line > 70) Line = 0;
    }
    Text.resize(Size);
    Stream.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    Stream.SetPosition(0);
}

double Milliseconds(std::chrono::steady_clock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

int RunDemo(TArgs& Args) {
    Args.Positional(0);
    using Clock = std::chrono::steady_clock;
    TMemoryStream Original, Compressed, Restored;
    MakeSample(Original, 400 * 1024);
    TLZStream Codec;

    const auto T0 = Clock::now();
    Codec.Compress(&Original, &Compressed, static_cast<std::int32_t>(Original.GetSize()));
    const auto T1 = Clock::now();
    Compressed.SetPosition(0);
    const std::int32_t N = Codec.DeCompress(&Compressed, &Restored);
    const auto T2 = Clock::now();

    const bool Same = N == Original.GetSize() &&
                      std::memcmp(Original.GetMemory(), Restored.GetMemory(), static_cast<std::size_t>(N)) == 0;
    const double Size = static_cast<double>(Original.GetSize());
    std::printf("sample       %10lld bytes of generated text\n", static_cast<long long>(Original.GetSize()));
    std::printf("compressed   %10lld bytes (%.1f%% of the original)\n", static_cast<long long>(Compressed.GetSize()),
                100.0 * static_cast<double>(Compressed.GetSize()) / Size);
    std::printf("compress     %10.2f ms  (%.0f MB/s)\n", Milliseconds(T1 - T0),
                Size / 1e3 / std::max(Milliseconds(T1 - T0), 1e-6));
    std::printf("decompress   %10.2f ms  (%.0f MB/s)\n", Milliseconds(T2 - T1),
                Size / 1e3 / std::max(Milliseconds(T2 - T1), 1e-6));
    std::printf("restored     %10d bytes, %s\n", N, Same ? "identical to the sample" : "DIFFERENT from the sample");
    return Same ? 0 : 1;
}

const TCommandRegistration Registration({
    "demo",
    "compress and restore a built-in sample, showing sizes and times",
    "Usage: typecask demo\n"
    "Compresses about 400 KB of generated text into a compressed stream in\n"
    "memory, restores it, and prints the sizes, the ratio and the times.\n",
    RunDemo,
});

}  // namespace

}  // namespace Tool
