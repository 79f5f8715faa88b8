// The font table, font enumeration and the font-change broadcast against
// the real fontconfig configuration, in sandboxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/os/Windows.h"
#include "tests/support/Command.h"
#include "tests/support/Sandbox.h"

namespace {

struct TFamily {
    std::string Name;
    DWORD FontType;
    TEXTMETRICA Metric;
};

std::map<std::string, TFamily> Families(LPCSTR Only = nullptr) {
    std::map<std::string, TFamily> Result;
    HDC Dc = GetDC(nullptr);
    EnumFontFamiliesA(
        Dc, Only,
        [](const LOGFONTA* Lf, const TEXTMETRICA* Tm, DWORD Type, LPARAM Data) -> int {
            auto& Out = *reinterpret_cast<std::map<std::string, TFamily>*>(Data);
            const auto* Elf = reinterpret_cast<const ENUMLOGFONTA*>(Lf);
            const std::string Key = Lf->lfFaceName + std::string("/") + reinterpret_cast<const char*>(Elf->elfStyle);
            Out[Key] = {Lf->lfFaceName, Type, *Tm};
            return 1;
        },
        reinterpret_cast<LPARAM>(&Result));
    ReleaseDC(nullptr, Dc);
    return Result;
}

bool HasFamily(const std::string& Name) {
    for (const auto& [Key, F] : Families())
        if (F.Name == Name) return true;
    return false;
}

std::string RunCommand(const std::string& Command) { return TestSupport::RunCommand(Command).Output; }

TEST(FontTable, AddsAreCountedAndTakenBackOneByOne) {
    TestSupport::TSandbox Box;
    const std::string File = Box.MakeFontFile("Counted Face");
    ASSERT_FALSE(HasFamily("Counted Face"));

    EXPECT_EQ(AddFontResourceA(File.c_str()), 1);
    EXPECT_EQ(AddFontResourceA(File.c_str()), 1);
    EXPECT_TRUE(HasFamily("Counted Face"));
    ASSERT_EQ(Os::ApplicationFonts().size(), 1u);
    EXPECT_EQ(Os::ApplicationFonts()[0].Count, 2);

    EXPECT_TRUE(RemoveFontResourceA(File.c_str()));
    EXPECT_TRUE(HasFamily("Counted Face")) << "one add is left";
    // The same file through another spelling of its path.
    const std::string Other = Box.Root() + "/work/../work/./Counted Face.ttf";
    EXPECT_TRUE(RemoveFontResourceA(Other.c_str()));
    EXPECT_FALSE(HasFamily("Counted Face"));
    EXPECT_FALSE(RemoveFontResourceA(File.c_str())) << "nothing left to take back";
    EXPECT_TRUE(Os::ApplicationFonts().empty());
}

TEST(FontTable, RemovingOneFileKeepsTheOthers) {
    TestSupport::TSandbox Box;
    const std::string A = Box.MakeFontFile("Keeper One");
    const std::string B = Box.MakeFontFile("Keeper Two");
    ASSERT_EQ(AddFontResourceA(A.c_str()), 1);
    ASSERT_EQ(AddFontResourceA(B.c_str()), 1);
    ASSERT_TRUE(RemoveFontResourceA(A.c_str()));
    EXPECT_FALSE(HasFamily("Keeper One"));
    EXPECT_TRUE(HasFamily("Keeper Two"));
}

TEST(FontTable, RefusesWhatIsNoFont) {
    TestSupport::TSandbox Box;
    std::filesystem::create_directories(Box / "work");
    std::ofstream(Box / "work/fake.ttf") << "this is not a font at all";
    std::ofstream(Box / "work/empty.ttf");
    struct TCase {
        std::string Path;
        const char* Why;
    } const Cases[] = {
        {Box / "work/fake.ttf", "text"},
        {Box / "work/empty.ttf", "empty file"},
        {Box / "work/missing.ttf", "no file"},
        {Box / "work", "a folder"},
        {"", "empty name"},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(AddFontResourceA(C.Path.c_str()), 0) << C.Why;
        EXPECT_NE(GetLastError(), 0u) << C.Why;
    }
    EXPECT_EQ(AddFontResourceA(nullptr), 0);
    EXPECT_TRUE(Os::ApplicationFonts().empty());
}

TEST(FontEnumeration, ReportsEachFamilyOnceWithItsTypeAndMetrics) {
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Tall;
    Tall.UnitsPerEm = 1000;
    Tall.Ascender = 1200;
    Tall.Descender = -400;
    Box.InstallFont("Enum Tall", Tall);
    FontGen::TFontDesign Bold;
    Bold.Weight = 700;
    Box.InstallFont("Enum Short");
    Box.InstallFont("Enum Short", Bold, "EnumShort-Bold.ttf");
    const std::string Added = Box.MakeFontFile("Enum Added");
    ASSERT_EQ(AddFontResourceA(Added.c_str()), 1);

    const auto All = Families();
    std::vector<std::string> Names;
    for (const auto& [Key, F] : All) Names.push_back(F.Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"Enum Added", "Enum Short", "Enum Tall"}))
        << "one call per family, installed and added alike";
    for (const auto& [Key, F] : All) EXPECT_EQ(F.FontType & TRUETYPE_FONTTYPE, static_cast<DWORD>(TRUETYPE_FONTTYPE));

    const auto& TallM = All.at("Enum Tall/Regular").Metric;
    const auto& ShortM = All.at("Enum Short/Regular").Metric;
    EXPECT_EQ(TallM.tmAscent, 19);  // 1200 units of a 16 pixel em of 1000
    EXPECT_EQ(TallM.tmDescent, 6);
    EXPECT_EQ(TallM.tmHeight, 25);
    EXPECT_EQ(ShortM.tmHeight, 16);
    EXPECT_EQ(ShortM.tmWeight, FW_NORMAL) << "the regular face stands for its family";
    EXPECT_EQ(TallM.tmInternalLeading, 9);

    // With a family name: one call per face.
    const auto Faces = Families("enum short");
    ASSERT_EQ(Faces.size(), 2u);
    EXPECT_EQ(Faces.at("Enum Short/Bold").Metric.tmWeight, FW_BOLD);
    EXPECT_TRUE(Families("No Such Family").empty());
    EXPECT_EQ(Os::OpenDeviceContexts(), 0);
}

TEST(FontEnumeration, StopsWhenTheCallbackSaysSo) {
    TestSupport::TSandbox Box;
    for (const char* Name : {"Stop A", "Stop B", "Stop C"}) Box.InstallFont(Name);
    HDC Dc = GetDC(nullptr);
    ASSERT_NE(Dc, nullptr);
    int Calls = 0;
    const int Result = EnumFontFamiliesA(
        Dc, nullptr,
        [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM Data) -> int {
            return ++*reinterpret_cast<int*>(Data) == 2 ? 0 : 1;
        },
        reinterpret_cast<LPARAM>(&Calls));
    EXPECT_EQ(Calls, 2);
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(ReleaseDC(nullptr, Dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, Dc), 0) << "a context is released once";
    EXPECT_EQ(EnumFontFamiliesA(Dc, nullptr, [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM) { return 1; }, 0),
              0)
        << "a released context enumerates nothing";
}

TEST(FontEnumeration, LongFamilyNamesAreCutAtACharacter) {
    TestSupport::TSandbox Box;
    // 30 bytes of ASCII, then a two-byte character that would straddle the 31-byte limit.
    const std::string Long = std::string(30, 'L') + "é tail";
    Box.InstallFont(Long, {}, "long.ttf");
    const auto All = Families();
    ASSERT_EQ(All.size(), 1u);
    EXPECT_EQ(All.begin()->second.Name, std::string(30, 'L'));
}

TEST(FontBroadcast, ReachesEveryListenerInOrderAfterTheFontsAreUpToDate) {
    TestSupport::TSandbox Box;
    Os::PrepareFontConfiguration();
    std::vector<std::string> Log;
    HWND Window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234));
    int Late = 0;
    const int First = Os::AddBroadcastListener(
        [&](HWND, UINT Message, WPARAM, LPARAM) -> LRESULT {
            Log.push_back("window:" + std::to_string(Message) + (HasFamily("Dropped In") ? ":seen" : ":unseen"));
            return 7;
        },
        Window);
    int Second = 0;
    Second = Os::AddBroadcastListener([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Log.push_back("second");
        // Added during delivery: not called for this message.
        Late = Os::AddBroadcastListener([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            Log.push_back("late");
            return 0;
        });
        return 0;
    });
    const int Third = Os::AddBroadcastListener([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Log.push_back("third");
        return 0;
    });

    // A font file copied into the user font folder by hand.
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = "Dropped In";
    FontGen::WriteTrueTypeFont(FontDesign, Box.Paths().UserFontsFolder + "/dropped.ttf");
    EXPECT_EQ(SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"window:29:seen", "second", "third"}));

    Log.clear();
    Os::RemoveBroadcastListener(Second);
    EXPECT_EQ(SendMessageA(Window, 0x0400, 1, 2), 7) << "a window's own message reaches only it";
    EXPECT_EQ(Log, (std::vector<std::string>{"window:1024:seen"}));
    Log.clear();
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"window:29:seen", "third", "late"}));
    for (const int Cookie : {First, Third, Late}) Os::RemoveBroadcastListener(Cookie);
    Log.clear();
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_TRUE(Log.empty());
}

TEST(FontBroadcast, SeesAFileAddedWithinTheSameClockTick) {
    TestSupport::TSandbox Box;
    Box.InstallFont("Before");
    const std::string Folder = Box.Paths().UserFontsFolder;
    const auto Then = std::filesystem::last_write_time(Folder);
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = "Same Tick";
    FontGen::WriteTrueTypeFont(FontDesign, Folder + "/same-tick.ttf");
    // The folder's time as a coarse file-system clock would leave it.
    std::filesystem::last_write_time(Folder, Then);
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_TRUE(HasFamily("Same Tick"));
    EXPECT_TRUE(HasFamily("Before"));
}

TEST(FontBroadcast, AFailingListenerDoesNotStopTheOthers) {
    std::vector<int> Calls;
    const int A = Os::AddBroadcastListener([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Calls.push_back(1);
        throw Exception("listener failed");
    });
    const int B = Os::AddBroadcastListener([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Calls.push_back(2);
        return 0;
    });
    EXPECT_THROW(SendMessageA(HWND_BROADCAST, 0x0401, 0, 0), Exception);
    EXPECT_EQ(Calls, (std::vector<int>{1, 2}));
    Os::RemoveBroadcastListener(A);
    Os::RemoveBroadcastListener(B);
}

TEST(FontSandbox, OtherFontconfigProgramsSeeTheUserFontFolder) {
    TestSupport::TSandbox Box;
    Box.InstallFont("Visible Elsewhere");
    const std::string Conf = Box.Root() + "/fontconfig/fonts.conf";
    ASSERT_TRUE(std::filesystem::exists(Conf));
    const std::string Listed = RunCommand("FONTCONFIG_FILE='" + Conf + "' fc-list --format '%{family}\\n' 2>/dev/null");
    EXPECT_EQ(Listed, "Visible Elsewhere\n") << "the sandbox knows only its own fonts";
}

TEST(FontSandbox, ProcessesSettingUpTheSameSandboxAtOnceAllSeeItsFonts) {
    // Each set-up writes the sandbox's font configuration; another process
    // reading it at that moment must find the whole file, old or new.
    TestSupport::TSandbox Box;
    std::filesystem::create_directories(Box.Paths().UserFontsFolder);
    FontGen::TFontDesign Font;
    Font.FamilyName = "Shared Sans";
    FontGen::WriteTrueTypeFont(Font, Box.Paths().UserFontsFolder + "/SharedSans.ttf");
    std::vector<pid_t> Pids;
    for (int C = 0; C < 6; ++C) {
        const pid_t Pid = ::fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            int Missing = 0;
            for (int Round = 0; Round < 15; ++Round) {
                Os::ResetOsServices();  // the next font call sets the configuration up again
                Missing += !HasFamily("Shared Sans");
            }
            ::_exit(Missing == 0 ? 0 : 1);
        }
        Pids.push_back(Pid);
    }
    for (const pid_t Pid : Pids) {
        int Status = 0;
        ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
        EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "a process missed the sandbox's font";
    }
}

// The sandbox lists only its own fonts but keeps the system's rules: generic
// families and metric aliases find its faces, and a style it lacks is made
// up from the regular face. fc-match reads the sandbox's written
// configuration, as any other program would.
TEST(FontSandbox, KeepsTheSystemRulesForItsOwnFonts) {
    TestSupport::TSandbox Box;
    Box.InstallFont("Liberation Sans");
    const std::string Conf = Box.Root() + "/fontconfig/fonts.conf";
    auto Match = [&](const std::string& Pattern, const std::string& Format) {
        return RunCommand("FONTCONFIG_FILE='" + Conf + "' fc-match --format '" + Format + "' '" + Pattern +
                          "' 2>/dev/null");
    };
    if (Match("Arial", "%{family}") != "Liberation Sans")
        GTEST_SKIP() << "this system's font rules have no metric alias for Arial";
    const struct {
        const char* Pattern;
        const char* Format;
        const char* Expected;
    } Cases[] = {
        {"sans-serif", "%{family}", "Liberation Sans"},
        {"Liberation Sans:bold", "%{embolden}", "True"},
        {"Liberation Sans", "%{embolden}", ""},
        {"Liberation Sans:italic", "%{matrix}", "1 0.2 0 1"},
    };
    for (const auto& C : Cases) EXPECT_EQ(Match(C.Pattern, C.Format), C.Expected) << C.Pattern << " " << C.Format;
    EXPECT_EQ(RunCommand("FONTCONFIG_FILE='" + Conf + "' fc-list --format '%{family}\\n' 2>/dev/null"),
              "Liberation Sans\n");
}

TEST(FontSandbox, SwitchingSandboxesSwitchesTheFonts) {
    {
        TestSupport::TSandbox First;
        First.InstallFont("Only In First");
        EXPECT_TRUE(HasFamily("Only In First"));
    }
    TestSupport::TSandbox Second;
    EXPECT_FALSE(HasFamily("Only In First"));
    EXPECT_TRUE(Families().empty());
}

}  // namespace
