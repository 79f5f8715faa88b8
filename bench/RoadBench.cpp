// The road of a large font: embedding it into form data in the designer and
// saving, then reading that form data and installing the font as an
// application does. Two fonts take it: a generated 12 MiB font, and the
// largest font of an ordinary desktop, uming.ttc (a 21 MB collection), when
// it is installed (scripts/install-deps does; skipped otherwise), whole and
// as the subset of a form whose texts use 500 Chinese characters (Linux
// only: the Windows build has no subsetter). Each step is timed and its peak memory is reported
// relative to the font's size (the font is held uncompressed in memory, so a
// step cannot cost less than 1x). Peaks are read from the kernel's resident
// set figures; run with GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072
// (as "make bench" does) so that freed large buffers leave the resident set
// instead of being kept for reuse, which would hide the next step's peak.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "Typecask/component/SubsetCharacters.h"
#include "Typecask/component/Typecask.h"
#include "Typecask/compression/LZStream.h"
#include "platform/Forms.h"
#include "platform/os/SysRoot.h"
#include "platform/os/Windows.h"
#include "tools/fontgen/FontGen.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t FontTarget = 12 * 1024 * 1024;
constexpr const char* UmingFile = "/usr/share/fonts/truetype/arphic/uming.ttc";

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

// One font's road: the developer's machine with the font installed, the
// form saved there, and fresh users' machines to install it on.
struct TRoad {
    AnsiString Family;
    fs::path Work;
    fs::path FontFile;
    fs::path FormFile;
    std::int64_t FontSize = 0;
    int Users = 0;
    // What a subset keeps; empty for the whole font.
    Os::TCodePoints Keep;

    // Source: a font file to install on the developer's machine, or empty
    // for a generated font.
    TRoad(const std::string& Name, const AnsiString& AFamily, const std::string& Source) : Family(AFamily) {
        Work = fs::temp_directory_path() / ("typecask-road-bench-" + Name + "-" + std::to_string(std::random_device{}()));
        fs::create_directories(Work);
        Developer();
        FontFile = Os::GetSystemPaths().UserFontsFolder + "/" +
                   (Source.empty() ? std::string("TypecaskBenchLarge.ttf") : fs::path(Source).filename().string());
        fs::create_directories(FontFile.parent_path());
        if (Source.empty()) {
            FontGen::TFontDesign FontDesign;
            FontDesign.FamilyName = Family;
            FontDesign.PrivateData = Filler(FontTarget);
            FontGen::WriteTrueTypeFont(FontDesign, FontFile.string());
        } else {
            fs::copy_file(Source, FontFile);
        }
        Os::RefreshFontConfiguration();
        FontSize = static_cast<std::int64_t>(fs::file_size(FontFile));
        FormFile = Work / "Form1.dfm";
    }
    ~TRoad() {
        Os::UseSysRoot("");
        std::error_code Ec;
        fs::remove_all(Work, Ec);
    }
    void Developer() const { Os::UseSysRoot((Work / "developer").string()); }
    // A fresh user's machine, where the family is not installed.
    void NewUser() { Os::UseSysRoot((Work / ("user" + std::to_string(Users++))).string()); }
};

std::map<std::string, std::unique_ptr<TRoad>>& Roads() {
    static std::map<std::string, std::unique_ptr<TRoad>> Instance;
    return Instance;
}

TRoad& Road(const std::string& Name) {
    auto& R = Roads()[Name];
    if (R) return *R;
    if (Name == "generated") {
        R = std::make_unique<TRoad>(Name, "Typecask Bench Large", "");
    } else {
        R = std::make_unique<TRoad>(Name, "AR PL UMing CN", UmingFile);
        if (Name == "uming-subset500") {
            R->Keep = RunTimeCharacters();
            for (char32_t C = 0x4E00; C < 0x4E00 + 500; ++C) R->Keep.insert(C);
        }
    }
    return *R;
}

double Seconds(const std::function<void()>& Step) {
    const auto Start = std::chrono::steady_clock::now();
    Step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

void EmbedAndSave(benchmark::State& State, const std::string& Name) {
    TRoad& R = Road(Name);
    R.Developer();
    std::int64_t Peak = 0;
    double SubsetSeconds = 0;
    for (auto _ : State) {
        const std::int64_t Start = StartPeak();
        {
            TDataModule Form(nullptr, 0);
            Form.SetDesigning(true);
            auto* Typecask = new TTypecask(&Form);
            Typecask->SetName("Typecask1");
            Typecask->SetInstallPermanently(false);
            TTypecaskName Choice(nullptr);
            Choice.SetTTFontName(R.Family);
            Typecask->SetTypecaskName(&Choice);
            if (!R.Keep.empty()) SubsetSeconds += Seconds([&] { Typecask->SubsetFontResource(R.Keep); });
            TFileStream Out(R.FormFile.string(), fmCreate);
            WriteComponentToStream(&Out, &Form);
        }
        Peak = std::max(Peak, PeakSince(Start));
    }
    State.counters["font_MiB"] = static_cast<double>(R.FontSize) / (1 << 20);
    State.counters["form_MiB"] = static_cast<double>(fs::file_size(R.FormFile)) / (1 << 20);
    if (!R.Keep.empty()) State.counters["subset_ms"] = SubsetSeconds * 1000 / static_cast<double>(State.iterations());
    State.counters["peak_x_font"] = static_cast<double>(Peak) / static_cast<double>(R.FontSize);
    State.SetBytesProcessed(State.iterations() * R.FontSize);
}

void ReadAndInstall(benchmark::State& State, const std::string& Name) {
    TRoad& R = Road(Name);
    if (!fs::exists(R.FormFile)) {
        State.SkipWithError("run EmbedAndSave first");
        return;
    }
    std::int64_t Peak = 0;
    for (auto _ : State) {
        // A fresh user's machine each time, so that the font is installed.
        State.PauseTiming();
        R.NewUser();
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

// The road's steps one by one, each through the call the component makes
// for it, beside the plain file I/O of the same bytes as a yardstick: the
// wall time of each step in ms. The form is written as the designer writes
// it, so that step compresses once more: the form writing itself is its
// time less the compression's. The peaks of the whole road are those of
// EmbedAndSave and ReadAndInstall.
void Steps(benchmark::State& State, const std::string& Name) {
    TRoad& R = Road(Name);
    std::map<std::string, double> Ms;
    for (auto _ : State) {
        R.Developer();
        TMemoryStream Property;
        {
            TDataModule Form(nullptr, 0);
            Form.SetDesigning(true);
            auto* Typecask = new TTypecask(&Form);
            Typecask->SetName("Typecask1");
            TTypecaskName Choice(nullptr);
            Choice.SetTTFontName(R.Family);
            Ms["embed.0_choose_total"] += Seconds([&] { Typecask->SetTypecaskName(&Choice); });
            Ms["embed.1_lookup"] += Seconds([&] { Typecask->GetTypecaskName()->GetTTFontFileName(); });
            Ms["embed.2_file_read"] += Seconds([&] { Typecask->GetFontResource(); });
            Ms["embed.3_compression"] += Seconds([&] { Typecask->WriteTrueTypeFontResource(&Property); });
            Ms["embed.4_form_write_with_compression"] += Seconds([&] {
                TFileStream Out(R.FormFile.string(), fmCreate);
                WriteComponentToStream(&Out, &Form);
            });
        }
        Ms["io.font_read"] += Seconds([&] {
            std::ifstream In(R.FontFile, std::ios::binary);
            std::vector<char> Bytes(static_cast<std::size_t>(R.FontSize));
            In.read(Bytes.data(), R.FontSize);
        });

        R.NewUser();
        TMemoryStream FormData;
        Ms["load.1_form_read"] += Seconds([&] { FormData.LoadFromFile(R.FormFile.string()); });
        TMemoryStream Font;
        Ms["load.2_decompression"] += Seconds([&] {
            Property.SetPosition(0);
            TLZStream Codec;
            Codec.DeCompress(&Property, &Font);
        });
        char Temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, Temp);
        const AnsiString Path = AnsiString(Temp) + R.Family + FontFileExt;
        Ms["load.3_font_file_write"] += Seconds([&] {
            TAtomicFileStream File(Path);
            File.CopyFrom(&Font, 0);
            File.Commit();
        });
        Ms["load.4_font_table_add"] += Seconds([&] {
            if (::AddFontResourceA(Path.c_str()) == 0) State.SkipWithError("the font table refused the font");
            SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
        });
        ::RemoveFontResourceA(Path.c_str());
        DeleteFile(Path);
        Ms["io.font_write"] += Seconds([&] {
            std::ofstream Out(Path, std::ios::binary);
            Out.write(reinterpret_cast<const char*>(Font.GetMemory()), Font.GetSize());
        });
        DeleteFile(Path);
        Ms["io.form_read"] += Seconds([&] {
            std::ifstream In(R.FormFile, std::ios::binary);
            std::vector<char> Bytes(static_cast<std::size_t>(fs::file_size(R.FormFile)));
            In.read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
        });
    }
    for (const auto& [Step, Total] : Ms) State.counters[Step + "_ms"] = Total * 1000 / static_cast<double>(State.iterations());
    State.counters["font_MiB"] = static_cast<double>(R.FontSize) / (1 << 20);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> Names = {"generated"};
    if (fs::exists(UmingFile)) {
        Names.push_back("uming");
        if (Os::CanSubsetFonts()) Names.push_back("uming-subset500");
    } else
        std::fprintf(stderr, "%s is not installed (scripts/install-deps installs it): its road is skipped\n", UmingFile);
    for (const auto& Name : Names) {
        benchmark::RegisterBenchmark(("EmbedAndSave/" + Name).c_str(), EmbedAndSave, Name)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
        benchmark::RegisterBenchmark(("ReadAndInstall/" + Name).c_str(), ReadAndInstall, Name)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
        // The steps of the whole font's road.
        if (Name.find("subset") == std::string::npos)
            benchmark::RegisterBenchmark(("Steps/" + Name).c_str(), Steps, Name)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Roads().clear();
    return 0;
}
