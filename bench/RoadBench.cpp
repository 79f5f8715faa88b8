// The road of a large font: embedding it into form data in the designer and
// saving, then reading that form data and installing the font as an
// application does. Each step is timed and its peak memory is reported
// relative to the font's size (the font is held uncompressed in memory, so a
// step cannot cost less than 1x). Peaks are read from the kernel's resident
// set figures; run with GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072
// (as "make bench" does) so that freed large buffers leave the resident set
// instead of being kept for reuse, which would hide the next step's peak.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "Typecask/component/Typecask.h"
#include "platform/Forms.h"
#include "platform/os/SysRoot.h"
#include "tools/fontgen/FontGen.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* Family = "Typecask Bench Large";
constexpr std::size_t FontTarget = 12 * 1024 * 1024;

// Resident-set figures of this process, in bytes.
std::int64_t StatusValue(const char* Key) {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line))
        if (Line.rfind(Key, 0) == 0) return std::stoll(Line.substr(std::string(Key).size())) * 1024;
    return 0;
}

// Starts a peak measurement: the kernel forgets the peak so far.
std::int64_t StartPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusValue("VmRSS:");
}

std::int64_t PeakSince(std::int64_t Start) { return StatusValue("VmHWM:") - Start; }

// Font-like filler: the installed fonts' bytes, or text-like data when there
// are none, so that the codec sees what it sees in real fonts.
std::vector<std::uint8_t> Filler(std::size_t Size) {
    std::vector<std::uint8_t> Bytes;
    std::error_code Ec;
    for (const auto& E : fs::recursive_directory_iterator("/usr/share/fonts", Ec)) {
        if (Bytes.size() >= Size) break;
        if (!E.is_regular_file() || E.path().extension() != ".ttf") continue;
        std::ifstream In(E.path(), std::ios::binary);
        Bytes.insert(Bytes.end(), std::istreambuf_iterator<char>(In), {});
    }
    std::mt19937 Rng(7);
    while (Bytes.size() < Size) Bytes.push_back(static_cast<std::uint8_t>('a' + Rng() % 16));
    Bytes.resize(Size);
    return Bytes;
}

struct TRoad {
    fs::path Work;
    fs::path FontFile;
    fs::path FormFile;
    std::int64_t FontSize = 0;

    TRoad() {
        Work = fs::temp_directory_path() / ("typecask-road-bench-" + std::to_string(std::random_device{}()));
        fs::create_directories(Work);
        Os::UseSysRoot((Work / "developer").string());
        FontGen::TFontSpec FontSpec;
        FontSpec.FamilyName = Family;
        FontSpec.PrivateData = Filler(FontTarget);
        FontFile = Os::GetSystemPaths().UserFontsFolder + "/TypecaskBenchLarge.ttf";
        fs::create_directories(FontFile.parent_path());
        FontGen::WriteTrueTypeFont(FontSpec, FontFile.string());
        Os::RefreshFontConfiguration();
        FontSize = static_cast<std::int64_t>(fs::file_size(FontFile));
        FormFile = Work / "Form1.dfm";
    }
    ~TRoad() {
        Os::UseSysRoot("");
        std::error_code Ec;
        fs::remove_all(Work, Ec);
    }
};

TRoad& Road() {
    static TRoad Instance;
    return Instance;
}

void EmbedAndSave(benchmark::State& State) {
    TRoad& R = Road();
    Os::UseSysRoot((R.Work / "developer").string());
    std::int64_t Peak = 0;
    for (auto _ : State) {
        const std::int64_t Start = StartPeak();
        {
            TDataModule Form(nullptr, 0);
            Form.SetDesigning(true);
            auto* Typecask = new TTypecask(&Form);
            Typecask->SetName("Typecask1");
            Typecask->SetInstallPermanently(false);
            TTypecaskName Choice(nullptr);
            Choice.SetTTFontName(Family);
            Typecask->SetTypecaskName(&Choice);
            TFileStream Out(R.FormFile.string(), fmCreate);
            WriteComponentToStream(&Out, &Form);
        }
        Peak = std::max(Peak, PeakSince(Start));
    }
    State.counters["font_MiB"] = static_cast<double>(R.FontSize) / (1 << 20);
    State.counters["form_MiB"] = static_cast<double>(fs::file_size(R.FormFile)) / (1 << 20);
    State.counters["peak_x_font"] = static_cast<double>(Peak) / static_cast<double>(R.FontSize);
    State.SetBytesProcessed(State.iterations() * R.FontSize);
}

void ReadAndInstall(benchmark::State& State) {
    TRoad& R = Road();
    if (!fs::exists(R.FormFile)) {
        State.SkipWithError("run EmbedAndSave first");
        return;
    }
    std::int64_t Peak = 0;
    int Run = 0;
    for (auto _ : State) {
        // A fresh user's machine each time, so that the font is installed.
        State.PauseTiming();
        Os::UseSysRoot((R.Work / ("user" + std::to_string(Run++))).string());
        State.ResumeTiming();
        const std::int64_t Start = StartPeak();
        {
            TDataModule App(nullptr, 0);
            TFileStream In(R.FormFile.string(), fmOpenRead | fmShareDenyWrite);
            ReadComponentFromStream(&In, &App);
            auto* Typecask = dynamic_cast<TTypecask*>(App.Components(0));
            if (!Typecask || !Typecask->GetFontAdded()) State.SkipWithError("the font was not installed");
        }
        Peak = std::max(Peak, PeakSince(Start));
    }
    State.counters["font_MiB"] = static_cast<double>(R.FontSize) / (1 << 20);
    State.counters["peak_x_font"] = static_cast<double>(Peak) / static_cast<double>(R.FontSize);
    State.SetBytesProcessed(State.iterations() * R.FontSize);
}

BENCHMARK(EmbedAndSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ReadAndInstall)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
