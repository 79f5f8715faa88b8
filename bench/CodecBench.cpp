// typecask-bench: compress and decompress throughput of TLZStream beside LZ4
// (default level), zlib (levels 1 and 6) and memcpy, on the same data in one
// run. Speeds are in MB/s of uncompressed data; the closing table gives
// TLZStream's speed as a fraction of LZ4's.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Typecask/compression/LZStream.h"
#include "tests/Typecask/compression/Corpus.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TSet {
    std::string Name;
    std::vector<TBytes> Files;
    std::size_t Bytes = 0;
};

std::vector<TSet>& Sets() {
    static std::vector<TSet> Instance;
    return Instance;
}

// ------------------------------------------------------------------ codecs
// Each codec compresses one file into a buffer and decompresses it back.

struct TCodec {
    const char* Name;
    // The size of an output buffer that holds the compressed form of N bytes.
    std::size_t (*Bound)(std::size_t N);
    // Compresses In into Out (Bound bytes); returns the compressed length.
    std::size_t (*Compress)(const TBytes& In, TBytes& Out);
    // Decompresses Packed into Out, whose size is the original size.
    void (*Decompress)(const TBytes& Packed, TBytes& Out);
};

// TLZStream works between streams: the timed part is one Compress or
// DeCompress call between memory streams that are filled and sized
// beforehand, as a caller holding its data in memory streams would see it.
TMemoryStream* Load(TMemoryStream& S, const TBytes& Data) {
    S.Clear();
    S.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
    S.SetPosition(0);
    return &S;
}

TBytes LZStreamCompress(const TBytes& In) {
    TMemoryStream Source, Dest;
    TLZStream Codec;
    Codec.Compress(Load(Source, In), &Dest, static_cast<std::int32_t>(In.size()));
    return TBytes(Dest.GetMemory(), Dest.GetMemory() + Dest.GetSize());
}

// The yardsticks compress into an output buffer allocated beforehand (Bound
// gives its size) and return the compressed length.
std::size_t Lz4Bound(std::size_t N) { return static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(N))); }

std::size_t Lz4Compress(const TBytes& In, TBytes& Out) {
    return static_cast<std::size_t>(LZ4_compress_default(reinterpret_cast<const char*>(In.data()),
                                                          reinterpret_cast<char*>(Out.data()),
                                                          static_cast<int>(In.size()), static_cast<int>(Out.size())));
}

void Lz4Decompress(const TBytes& Packed, TBytes& Out) {
    const int N = LZ4_decompress_safe(reinterpret_cast<const char*>(Packed.data()), reinterpret_cast<char*>(Out.data()),
                                      static_cast<int>(Packed.size()), static_cast<int>(Out.size()));
    if (N != static_cast<int>(Out.size())) throw std::runtime_error("LZ4: wrong size");
}

std::size_t ZlibBound(std::size_t N) { return compressBound(static_cast<uLong>(N)); }

template <int Level>
std::size_t ZlibCompress(const TBytes& In, TBytes& Out) {
    uLongf N = static_cast<uLongf>(Out.size());
    compress2(Out.data(), &N, In.data(), static_cast<uLong>(In.size()), Level);
    return N;
}

void ZlibDecompress(const TBytes& Packed, TBytes& Out) {
    uLongf N = static_cast<uLongf>(Out.size());
    if (uncompress(Out.data(), &N, Packed.data(), static_cast<uLong>(Packed.size())) != Z_OK || N != Out.size())
        throw std::runtime_error("zlib: wrong size");
}

std::size_t SameBound(std::size_t N) { return N; }

std::size_t MemcpyCompress(const TBytes& In, TBytes& Out) {
    std::memcpy(Out.data(), In.data(), In.size());
    return In.size();
}

void MemcpyDecompress(const TBytes& Packed, TBytes& Out) { std::memcpy(Out.data(), Packed.data(), Out.size()); }

std::size_t NoBound(std::size_t) { return 0; }
std::size_t NoCompress(const TBytes&, TBytes&) { return 0; }
void NoDecompress(const TBytes&, TBytes&) {}

const TCodec Codecs[] = {
    {"TLZStream", NoBound, NoCompress, NoDecompress},  // timed through its streams, see BM_LZStream*
    {"LZ4", Lz4Bound, Lz4Compress, Lz4Decompress},
    {"zlib-1", ZlibBound, ZlibCompress<1>, ZlibDecompress},
    {"zlib-6", ZlibBound, ZlibCompress<6>, ZlibDecompress},
    {"memcpy", SameBound, MemcpyCompress, MemcpyDecompress},
};

// Compressed sizes, filled by the compress runs.
std::map<std::string, std::size_t>& PackedSizes() {
    static std::map<std::string, std::size_t> Instance;
    return Instance;
}

void BM_LZStreamCompress(benchmark::State& State, const TSet* Set) {
    std::vector<std::unique_ptr<TMemoryStream>> Sources, Dests;
    for (const auto& F : Set->Files) {
        Sources.push_back(std::make_unique<TMemoryStream>());
        Load(*Sources.back(), F);
        Dests.push_back(std::make_unique<TMemoryStream>());
        Dests.back()->SetSize(static_cast<std::int64_t>(F.size() + F.size() / 1000 + 64));
    }
    std::size_t Packed = 0;
    for (auto _ : State) {
        Packed = 0;
        for (std::size_t I = 0; I < Sources.size(); ++I) {
            Sources[I]->SetPosition(0);
            Dests[I]->SetPosition(0);
            TLZStream Codec;
            Codec.Compress(Sources[I].get(), Dests[I].get(), static_cast<std::int32_t>(Set->Files[I].size()));
            Packed += static_cast<std::size_t>(Dests[I]->GetPosition());
        }
    }
    PackedSizes()[std::string("TLZStream/") + Set->Name] = Packed;
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(Set->Bytes));
}

void BM_LZStreamDecompress(benchmark::State& State, const TSet* Set) {
    std::vector<std::unique_ptr<TMemoryStream>> Sources, Dests;
    for (const auto& F : Set->Files) {
        Sources.push_back(std::make_unique<TMemoryStream>());
        Load(*Sources.back(), LZStreamCompress(F));
        Dests.push_back(std::make_unique<TMemoryStream>());
        Dests.back()->SetSize(static_cast<std::int64_t>(F.size()));
    }
    for (auto _ : State) {
        for (std::size_t I = 0; I < Sources.size(); ++I) {
            Sources[I]->SetPosition(0);
            Dests[I]->SetPosition(0);
            TLZStream Codec;
            benchmark::DoNotOptimize(Codec.DeCompress(Sources[I].get(), Dests[I].get()));
        }
    }
    for (std::size_t I = 0; I < Dests.size(); ++I)
        if (std::memcmp(Dests[I]->GetMemory(), Set->Files[I].data(), Set->Files[I].size()) != 0)
            State.SkipWithError("decompressed data differs");
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(Set->Bytes));
}

void BM_Compress(benchmark::State& State, const TCodec* Codec, const TSet* Set) {
    std::vector<TBytes> Out;
    for (const auto& F : Set->Files) Out.emplace_back(Codec->Bound(F.size()));
    std::size_t Packed = 0;
    for (auto _ : State) {
        Packed = 0;
        for (std::size_t I = 0; I < Out.size(); ++I) {
            Packed += Codec->Compress(Set->Files[I], Out[I]);
            benchmark::DoNotOptimize(Out[I].data());
        }
    }
    PackedSizes()[std::string(Codec->Name) + "/" + Set->Name] = Packed;
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(Set->Bytes));
}

void BM_Decompress(benchmark::State& State, const TCodec* Codec, const TSet* Set) {
    std::vector<TBytes> Packed;
    for (const auto& F : Set->Files) {
        Packed.emplace_back(Codec->Bound(F.size()));
        Packed.back().resize(Codec->Compress(F, Packed.back()));
    }
    std::vector<TBytes> Out;
    for (const auto& F : Set->Files) Out.emplace_back(F.size());
    for (auto _ : State) {
        for (std::size_t I = 0; I < Packed.size(); ++I) {
            Codec->Decompress(Packed[I], Out[I]);
            benchmark::DoNotOptimize(Out[I].data());
        }
    }
    for (std::size_t I = 0; I < Out.size(); ++I)
        if (Out[I] != Set->Files[I]) State.SkipWithError("decompressed data differs");
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(Set->Bytes));
}

// ----------------------------------------------------------------- table

// Keeps every run's speed and prints the side-by-side table at the end.
class TTableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Reports) override {
        ConsoleReporter::ReportRuns(Reports);
        for (const auto& R : Reports) {
            if (R.error_occurred || R.run_type != Run::RT_Iteration) continue;
            const auto It = R.counters.find("bytes_per_second");
            if (It == R.counters.end()) continue;
            const double Seconds = R.cpu_accumulated_time / static_cast<double>(R.iterations);
            FSeconds[R.run_name.function_name] = Seconds;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nMB/s of uncompressed data per CPU second (1 MB = 10^6 bytes); \"x LZ4\" is the speed as a "
                    "fraction of LZ4's.\n");
        for (const auto& Set : Sets()) PrintSet(Set.Name, {Set.Name});
        std::vector<std::string> All;
        for (const auto& Set : Sets()) All.push_back(Set.Name);
        PrintSet("all", All);
    }

private:
    // Throughput over the given sets: total bytes over total time.
    double Speed(const std::string& Direction, const std::string& Codec, const std::vector<std::string>& Names) {
        double Bytes = 0, Seconds = 0;
        for (const auto& Set : Sets()) {
            if (std::find(Names.begin(), Names.end(), Set.Name) == Names.end()) continue;
            const auto It = FSeconds.find(Direction + "/" + Codec + "/" + Set.Name);
            if (It == FSeconds.end()) return 0;
            Bytes += static_cast<double>(Set.Bytes);
            Seconds += It->second;
        }
        return Seconds > 0 ? Bytes / Seconds / 1e6 : 0;
    }

    void PrintSet(const std::string& Title, const std::vector<std::string>& Names) {
        double Original = 0;
        for (const auto& Set : Sets())
            if (std::find(Names.begin(), Names.end(), Set.Name) != Names.end()) Original += static_cast<double>(Set.Bytes);
        std::printf("\n%-10s %10s  %10s %8s  %10s %8s\n", Title.c_str(), "ratio", "compress", "x LZ4", "decompress",
                    "x LZ4");
        const double Lz4C = Speed("compress", "LZ4", Names), Lz4D = Speed("decompress", "LZ4", Names);
        for (const auto& Codec : Codecs) {
            double Packed = 0;
            for (const auto& N : Names) Packed += static_cast<double>(PackedSizes()[std::string(Codec.Name) + "/" + N]);
            const double C = Speed("compress", Codec.Name, Names), D = Speed("decompress", Codec.Name, Names);
            std::printf("%-10s %9.1f%%  %10.0f %8.2f  %10.0f %8.2f\n", Codec.Name, Original > 0 ? 100 * Packed / Original : 0,
                        C, Lz4C > 0 ? C / Lz4C : 0, D, Lz4D > 0 ? D / Lz4D : 0);
        }
    }

    std::map<std::string, double> FSeconds;
};

}  // namespace

int main(int argc, char** argv) {
    auto& S = Sets();
    TSet Fonts{"fonts", {}, 0};
    for (auto& F : Corpus::InstalledFonts(64u << 20)) Fonts.Files.push_back(std::move(F.Data));
    if (Fonts.Files.empty())
        std::fprintf(stderr, "typecask-bench: no font files of fonts-dejavu-core, fonts-liberation2 or "
                             "fonts-noto-core found; measuring generated data only\n");
    else
        S.push_back(std::move(Fonts));
    S.push_back({"text", {Corpus::TextLike(4 << 20, 1)}, 0});
    S.push_back({"random", {Corpus::Random(1 << 20, 2)}, 0});
    for (auto& Set : S)
        for (const auto& F : Set.Files) Set.Bytes += F.size();
    for (const auto& Set : S)
        std::printf("%-8s %3zu file(s), %.1f MB\n", Set.Name.c_str(), Set.Files.size(), static_cast<double>(Set.Bytes) / 1e6);

    for (const auto& Set : S) {
        for (const auto& Codec : Codecs) {
            const std::string Suffix = std::string(Codec.Name) + "/" + Set.Name;
            const bool Ours = &Codec == &Codecs[0];
            auto* C = Ours ? benchmark::RegisterBenchmark(("compress/" + Suffix).c_str(), BM_LZStreamCompress, &Set)
                           : benchmark::RegisterBenchmark(("compress/" + Suffix).c_str(), BM_Compress, &Codec, &Set);
            auto* D = Ours ? benchmark::RegisterBenchmark(("decompress/" + Suffix).c_str(), BM_LZStreamDecompress, &Set)
                           : benchmark::RegisterBenchmark(("decompress/" + Suffix).c_str(), BM_Decompress, &Codec, &Set);
            // CPU time: on a shared machine the wall clock counts other processes' turns too.
            C->Unit(benchmark::kMillisecond);
            D->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    TTableReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    benchmark::Shutdown();
    return 0;
}
