// Sample data for the codec's tests and benchmarks: generated text-like,
// random and run-heavy data, and the installed font files when there are any.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corpus {

using TBytes = std::vector<std::uint8_t>;

struct TSample {
    std::string Name;
    TBytes Data;
};

// Words drawn with a skewed frequency, with punctuation and line breaks.
TBytes TextLike(std::size_t Size, std::uint32_t Seed);
// Uniformly random bytes.
TBytes Random(std::size_t Size, std::uint32_t Seed);
// Runs of equal bytes (short and long) between short stretches of noise and
// repeated patterns, like the tables and padding of binary files.
TBytes Runs(std::size_t Size, std::uint32_t Seed);

// Font files found in the given folders (those that exist), in name order,
// together at most MaxBytes.
std::vector<TSample> FontFiles(const std::vector<std::string>& Folders, std::size_t MaxBytes);
// The fonts of the usual Debian font packages, when installed: DejaVu,
// Liberation 2 and a few large Noto files.
std::vector<std::string> FontFolders();
std::vector<TSample> InstalledFonts(std::size_t MaxBytes);

}  // namespace Corpus
