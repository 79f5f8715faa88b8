// Installing the component's font, temporarily or for good, and removing it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
#include "platform/os/Windows.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#ifndef _WIN32
#include "tests/support/Command.h"
#endif
#include "tests/support/Sandbox.h"
#include "tools/fontgen/FontGen.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;
namespace fs = std::filesystem;

// A run-time form whose component holds the bytes of a generated font of
// Family, as a read form would (the data is set by reading form data).
struct TRunForm {
    TRunForm(TSandbox& Box, const std::string& Family, bool Permanent, const std::string& FontFamily = {})
        : TRunForm(Family, Permanent, ReadFileBytes(Box.MakeFontFile(FontFamily.empty() ? Family : FontFamily))) {}
    // Bytes are the font file the form data carries.
    TRunForm(const std::string& Family, bool Permanent, const std::string& Bytes) : Form(false), FontBytes(Bytes) {
        FontForm(Family, Compressed(Bytes), Permanent, Data);
    }
    // Reads the form; Loaded installs.
    void Load() { LoadForm(Data, Form.Root); }
    TTypecask* Typecask() const { return dynamic_cast<TTypecask*>(Form.Root->Components(0)); }

    TForm Form;
    TMemoryStream Data;
    std::string FontBytes;
};

// This process's folder inside the temporary directory, as an installation
// made now uses it.
std::string ProcessTemp() {
    char Buffer[MAX_PATH];
    if (GetTempPathA(MAX_PATH, Buffer) == 0) throw std::runtime_error("no temporary directory");
    return Os::GetProcessTempFolder(Buffer);
}

// The id of this process, as the names of its temporary folders carry it.
unsigned long ThisProcessId() {
#ifdef _WIN32
    return ::GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

// How the names of a process's temporary folders begin.
std::string FolderPrefix(unsigned long ProcessId) {
#ifdef _WIN32
    return "typecask-" + std::to_string(ProcessId) + "-";
#else
    return "fonts-" + std::to_string(ProcessId) + "-";
#endif
}

// Another running copy of the application: started by the constructor, it
// installs "Shared Sans" temporarily, its first installation, and runs
// until End (it removes its installation and ends) or Kill (SIGKILL,
// TerminateProcess). On Linux it is this process forked; on Windows this
// program again, running only OtherCopyOfTheApplication, with the names of
// the two events that order them in its environment (and the sandbox's
// temporary folder, through TMP).
#ifndef _WIN32
class TOtherCopy {
public:
    explicit TOtherCopy(TSandbox& Box) : FForm(Box, "Shared Sans", false) {
        if (::pipe(FInstalled) != 0 || ::pipe(FExit) != 0) throw std::runtime_error("no pipe");
        FId = ::fork();
        if (FId < 0) throw std::runtime_error("no fork");
        if (FId == 0) {
            try {
                Os::ResetOsServices();  // a new process: none of this one's fonts
                FForm.Load();
            } catch (...) {
            }
            char Done = FForm.Typecask()->GetFontAdded() ? '1' : '0';
            const bool Ok = ::write(FInstalled[1], &Done, 1) == 1 && ::read(FExit[0], &Done, 1) == 1;
            delete FForm.Typecask();
            ::_exit(Ok ? 0 : 1);
        }
    }
    ~TOtherCopy() {
        if (FRunning) Stop(SIGKILL);
        for (const int Fd : {FInstalled[0], FInstalled[1], FExit[0], FExit[1]}) ::close(Fd);
    }
    unsigned long Id() const { return static_cast<unsigned long>(FId); }
    bool WaitUntilInstalled() {
        char Done = 0;
        return ::read(FInstalled[0], &Done, 1) == 1 && Done == '1';
    }
    void End() {
        EXPECT_EQ(::write(FExit[1], "x", 1), 1);
        EXPECT_EQ(Stop(0), 0) << "the other copy's exit status";
    }
    void Kill() { EXPECT_EQ(Stop(SIGKILL), 128 + SIGKILL); }

private:
    // Sends Signal (none: 0), waits for the end; the exit status, or 128 and
    // the signal that ended it.
    int Stop(int Signal) {
        if (Signal) ::kill(FId, Signal);
        int Status = 0;
        FRunning = false;
        if (::waitpid(FId, &Status, 0) != FId) return -1;
        return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    }

    TRunForm FForm;
    int FInstalled[2] = {-1, -1}, FExit[2] = {-1, -1};
    pid_t FId = 0;
    bool FRunning = true;
};
#else
class TOtherCopy {
public:
    explicit TOtherCopy(TSandbox&) {
        static int Copies = 0;
        const std::string Prefix = "typecask-test-" + std::to_string(ThisProcessId()) + "-" + std::to_string(++Copies);
        FInstalled = ::CreateEventA(nullptr, TRUE, FALSE, (Prefix + "-installed").c_str());
        FExit = ::CreateEventA(nullptr, TRUE, FALSE, (Prefix + "-exit").c_str());
        if (!FInstalled || !FExit) throw std::runtime_error("no events");
        char Program[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, Program, MAX_PATH);
        std::string CommandLine =
            "\"" + std::string(Program) + "\" --gtest_filter=Installation.OtherCopyOfTheApplication";
        ::SetEnvironmentVariableA("TYPECASK_TEST_OTHER_COPY", Prefix.c_str());
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        PROCESS_INFORMATION Child{};
        const BOOL Started = ::CreateProcessA(Program, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                              &Startup, &Child);
        ::SetEnvironmentVariableA("TYPECASK_TEST_OTHER_COPY", nullptr);
        if (!Started) throw std::runtime_error("the other copy cannot be started");
        ::CloseHandle(Child.hThread);
        FProcess = Child.hProcess;
        FId = Child.dwProcessId;
    }
    ~TOtherCopy() {
        if (FRunning) Kill();
        for (const HANDLE H : {FProcess, FInstalled, FExit}) ::CloseHandle(H);
    }
    unsigned long Id() const { return FId; }
    bool WaitUntilInstalled() {
        const HANDLE Waits[] = {FInstalled, FProcess};
        return ::WaitForMultipleObjects(2, Waits, FALSE, 60000) == WAIT_OBJECT_0;
    }
    void End() {
        ::SetEvent(FExit);
        EXPECT_EQ(Wait(), 0u) << "the other copy's exit code";
    }
    void Kill() {
        ::TerminateProcess(FProcess, 137);
        EXPECT_EQ(Wait(), 137u);
    }

private:
    DWORD Wait() {
        FRunning = false;
        DWORD Code = 1;
        EXPECT_EQ(::WaitForSingleObject(FProcess, 60000), WAIT_OBJECT_0);
        ::GetExitCodeProcess(FProcess, &Code);
        return Code;
    }

    HANDLE FInstalled = nullptr, FExit = nullptr, FProcess = nullptr;
    unsigned long FId = 0;
    bool FRunning = true;
};
#endif

// The files in the folders of the temporary directory, as the file system
// shows them: "FOLDER/FILE" each, sorted, "FOLDER/" for an empty folder, a
// folder of this process named "<this>" and one of Other "<other>", and a
// file whose bytes are not Font's marked " (changed)".
std::vector<std::string> TempFiles(TSandbox& Box, const std::string& Font, const TOtherCopy* Other = nullptr) {
    std::vector<std::string> Files;
    for (const auto& Folder : fs::directory_iterator(Box.Paths().TempFolder)) {
        std::string Name = Folder.path().filename().string();
        if (Name.rfind(FolderPrefix(ThisProcessId()), 0) == 0) Name = "<this>";
        if (Other && Name.rfind(FolderPrefix(Other->Id()), 0) == 0) Name = "<other>";
        if (!Folder.is_directory() || fs::is_empty(Folder.path())) {
            Files.push_back(Name + (Folder.is_directory() ? "/" : ""));
            continue;
        }
        for (const auto& File : fs::directory_iterator(Folder.path()))
            Files.push_back(Name + "/" + File.path().filename().string() +
                            (ReadFileBytes(File.path().string()) == Font ? "" : " (changed)"));
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

// The Fonts key's values, one "NAME = DATA" line each, the Fonts folder
// written as <fonts>/. Stored values and values derived from the installed
// fonts (marked [derived]) are told apart here, which the registry classes
// of this process do not do: on Linux the key is listed by another process
// ("typecask reg list"); on Windows it is read through advapi32, and the
// values that the system (the sandbox) registers for the fonts of the Fonts
// folder, which the Linux store derives, are left out.
#ifdef _WIN32
std::vector<std::string> FontsKeyListing(TSandbox& Box) {
    std::vector<std::string> Values;
    HKEY Key = nullptr;
    EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                              KEY_QUERY_VALUE, &Key),
              ERROR_SUCCESS);
    const std::string Fonts = Box.Paths().UserFontsFolder + PathDelim;
    char Name[16384];
    BYTE Data[4096];
    for (DWORD I = 0; Key; ++I) {
        DWORD NameLength = sizeof Name, DataLength = sizeof Data - 1, Type = 0;
        if (::RegEnumValueA(Key, I, Name, &NameLength, nullptr, &Type, Data, &DataLength) != ERROR_SUCCESS) break;
        std::string Value(reinterpret_cast<const char*>(Data), DataLength);
        Value.resize(std::strlen(Value.c_str()));
        // Bare file names and the host's fonts are the system's own.
        if (Type != REG_SZ || Value.rfind(Fonts, 0) != 0) continue;
        Value.replace(0, Fonts.size(), "<fonts>/");
        Values.push_back(std::string(Name, NameLength) + " = " + Value);
    }
    if (Key) ::RegCloseKey(Key);
    std::sort(Values.begin(), Values.end());
    return Values;
}
#else
std::vector<std::string> FontsKeyListing(TSandbox& Box) {
    const std::string Command = std::string(TYPECASK_EXECUTABLE) +
                                " reg list 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts' 2>&1";
    const auto Run = TestSupport::RunCommand(Command);
    EXPECT_EQ(Run.Status, 0);
    std::vector<std::string> Lines;
    std::istringstream Listing(Run.Output);
    for (std::string Line; std::getline(Listing, Line);) Lines.push_back(Line + '\n');
    std::vector<std::string> Values;
    const std::string Fonts = Box.Paths().UserFontsFolder;
    for (std::size_t I = 1; I < Lines.size(); ++I) {  // the first line names the key
        std::string L = Lines[I].substr(4, Lines[I].size() - 5);
        if (const auto At = L.find("  REG_SZ  "); At != std::string::npos) {
            const std::string Name = L.substr(0, At);  // padded to the longest name
            L = Name.substr(0, Name.find_last_not_of(' ') + 1) + " = " + L.substr(At + 10);
        }
        if (const auto At = L.find(Fonts); At != std::string::npos) L.replace(At, Fonts.size(), "<fonts>");
        if (const auto At = L.find("  [derived]"); At != std::string::npos) L.replace(At, 11, " [derived]");
        Values.push_back(L);
    }
    return Values;
}
#endif

// The values of a listing that the component stored (Windows derives none).
std::vector<std::string> StoredValues(std::vector<std::string> Listing) {
#ifdef _WIN32
    std::erase_if(Listing, [](const std::string& Line) { return Line.ends_with(" [derived]"); });
#endif
    return Listing;
}

// The entries of After that Before does not hold: what a test added to a
// folder or key that other programs of the run share on Windows.
std::vector<std::string> Added(std::vector<std::string> After, const std::vector<std::string>& Before) {
    std::erase_if(After, [&](const std::string& E) { return std::find(Before.begin(), Before.end(), E) != Before.end(); });
    return After;
}

std::string RegisteredPath(const std::string& Family) {
    TRegIniFile Registry("");
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    for (const auto& Name : Registry.ReadSection(GetFontsKey()))
        if (Name == Family + " (TrueType)") return Registry.ReadString(GetFontsKey(), Name, "");
    return {};
}

// Every file below Root but the font configuration's cache. The names tried
// would land inside Root even when they climbed out of the temporary folder
// (Root/tmp), so a listing of Root shows any escape.
std::vector<std::string> AllFiles(const std::string& Root) {
    std::vector<std::string> Files;
    for (auto It = fs::recursive_directory_iterator(Root); It != fs::recursive_directory_iterator(); ++It) {
        if (It->path().filename() == "fontconfig") {
            It.disable_recursion_pending();
            continue;
        }
        Files.push_back(It->path().string());
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

TEST(Installation, TemporaryAtRunTimeIsRemovedInOrder) {
    TSandbox Box;
    const std::string Temp = ProcessTemp();
    std::vector<std::string> Events;
    std::string Path;
    const int Listener = Os::AddBroadcastListener([&](HWND, UINT Message, WPARAM, LPARAM) -> LRESULT {
        if (Message == WM_FONTCHANGE)
            Events.push_back(std::string("fontchange: enumerated=") + (HasFamily("Temp Sans") ? "yes" : "no") +
                             " file=" + (fs::exists(Path) ? "yes" : "no"));
        return 0;
    });
    Path = Temp + "Temp Sans.ttf";
    {
        TRunForm Run(Box, "Temp Sans", false);
        Run.Load();
        TTypecask* T = Run.Typecask();
        EXPECT_EQ(T->GetFontFilePath(), Path);
        EXPECT_TRUE(T->GetFontAdded());
        EXPECT_EQ(ReadFileBytes(Path), Run.FontBytes);
        EXPECT_TRUE(HasFamily("Temp Sans"));
        EXPECT_EQ(RegisteredPath("Temp Sans"), "") << "a temporary installation registers nothing";
    }
    Os::RemoveBroadcastListener(Listener);
    // Added, then removed from the font table before the broadcast, and the
    // file deleted after it.
    EXPECT_EQ(Events, (std::vector<std::string>{"fontchange: enumerated=yes file=yes",
                                                 "fontchange: enumerated=no file=yes"}));
    EXPECT_FALSE(fs::exists(Path));
    EXPECT_FALSE(HasFamily("Temp Sans"));
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{})
        << "the process's folder goes once it is empty";
}

TEST(Installation, PermanentAtRunTimeStaysAndIsRegistered) {
    TSandbox Box;
    const std::string Expected = Box.Paths().UserFontsFolder + PathDelim + "Perm Sans.ttf";
    {
        TRunForm Run(Box, "Perm Sans", true);
        Run.Load();
        TTypecask* T = Run.Typecask();
        EXPECT_EQ(T->GetFontFilePath(), Expected);
        EXPECT_EQ(ReadFileBytes(Expected), Run.FontBytes);
        EXPECT_EQ(RegisteredPath("Perm Sans"), Expected);
        T->RemoveFontResourceA();
        EXPECT_FALSE(T->GetFontAdded());
        EXPECT_EQ(T->GetFontFilePath(), Expected) << "the path is kept after removal";
    }
    EXPECT_TRUE(fs::exists(Expected)) << "destruction leaves a permanent installation in place";
    EXPECT_EQ(RegisteredPath("Perm Sans"), Expected);
    EXPECT_TRUE(HasFamily("Perm Sans"));

    // A later run finds the family installed and writes nothing.
    const auto Before = fs::last_write_time(Expected);
    TRunForm Again(Box, "Perm Sans", true);
    Again.Load();
    EXPECT_FALSE(Again.Typecask()->GetFontAdded());
    EXPECT_EQ(Again.Typecask()->GetFontFilePath(), "");
    EXPECT_EQ(fs::last_write_time(Expected), Before);
}

TEST(Installation, InstalledFamiliesAreSkippedInAnyLetterCase) {
    TSandbox Box;
    Box.InstallFont("Known Sans");
    for (const char* Name : {"Known Sans", "KNOWN SANS", "known sans"}) {
        TRunForm Run(Box, Name, false, "Other Face");
        Run.Load();
        EXPECT_FALSE(Run.Typecask()->GetFontAdded()) << Name;
        EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{}) << Name;
        Run.Typecask()->RemoveFontResourceA();  // nothing to remove: does nothing
    }
}

TEST(Installation, FamiliesBeyondTheFaceNameLimitAreInstalledOnlyOnce) {
    // The font table reports face names cut to 31 bytes, at a whole
    // character. A permanent installation's family is seen as installed by
    // the next run, under its full name and under the cut name that the
    // picker lists.
    const struct {
        std::string Family;
        std::string FaceName;
    } Cases[] = {
        {"Installed Once Inscriptional Parthian", "Installed Once Inscriptional Pa"},
        // The 31st byte starts a two-byte character, which does not fit.
        {"Installed Once Inscriptional P\xC3\xA4" "rthian", "Installed Once Inscriptional P"},
    };
    for (const auto& C : Cases) {
        for (const std::string& Stored : {C.Family, C.FaceName}) {
            TSandbox Box;
            const auto Before = FolderContents(Box.Paths().UserFontsFolder);
            TRunForm First(Box, Stored, true, C.Family);
            First.Load();
            ASSERT_TRUE(First.Typecask()->GetFontAdded()) << Stored;
            ASSERT_TRUE(HasFamily(C.FaceName)) << Stored;
            Os::ResetOsServices();  // the next run: a new process

            TRunForm Next(Box, Stored, true, C.Family);
            Next.Load();
            EXPECT_FALSE(Next.Typecask()->GetFontAdded()) << Stored;
            EXPECT_EQ(Added(FolderContents(Box.Paths().UserFontsFolder), Before), std::vector<std::string>{Stored + ".ttf"})
                << Stored;
        }
    }
}

TEST(Installation, TheDesignerInstallsTemporarilyWhateverThePropertySays) {
    TSandbox Box;
    // Registered under one name, while the file declares another: the
    // lookup finds the file, but the family is not enumerated, so the
    // designer installs it.
    const std::string File = Box.MakeFontFile("Declared Face");
    {
        TRegIniFile Registry("");
        Registry.SetRootKey(HKEY_LOCAL_MACHINE);
        Registry.WriteString(GetFontsKey(), "Designer Sans (TrueType)", File);
    }
    TForm Design(true);
    TTypecask* T = Design.Add();
    ASSERT_TRUE(T->GetInstallPermanently());
    TTypecaskName Choice(nullptr);
    Choice.SetTTFontName("Designer Sans");
    T->SetTypecaskName(&Choice);
    const std::string Path = ProcessTemp() + "Designer Sans.ttf";
    EXPECT_TRUE(T->GetFontAdded());
    EXPECT_EQ(T->GetFontFilePath(), Path);
    EXPECT_EQ(ReadFileBytes(Path), ReadFileBytes(File));
    EXPECT_EQ(RegisteredPath("Designer Sans"), File) << "the designer never registers";
    EXPECT_TRUE(HasFamily("Declared Face"));
    delete T;
    EXPECT_FALSE(fs::exists(Path));
    EXPECT_FALSE(HasFamily("Declared Face"));
}

TEST(Installation, SecondAddAndSecondRemoveDoNothing) {
    TSandbox Box;
    TRunForm Run(Box, "Twice Sans", false);
    Run.Load();
    TTypecask* T = Run.Typecask();
    ASSERT_TRUE(T->GetFontAdded());
    const std::string Path = T->GetFontFilePath();
    const auto Written = fs::last_write_time(Path);
    T->AddFontResourceA();  // the family is enumerated now
    EXPECT_EQ(fs::last_write_time(Path), Written);

    T->RemoveFontResourceA();
    EXPECT_FALSE(fs::exists(Path));
    fs::create_directories(fs::path(Path).parent_path());  // gone with its last file
    std::ofstream(Path) << "someone else's file";
    T->RemoveFontResourceA();
    EXPECT_TRUE(fs::exists(Path)) << "the second removal does nothing";
}

TEST(Installation, HostileFamilyNamesNeverLeaveTheFolder) {
    const std::string Names[] = {"../evil",  "..",       ".",         "a/b",      "a\\b",  "C:evil",
                                 "font:ads", "tab\there", std::string("nul\x01"), "...",  "   ", ". ."};
    for (const auto& Name : Names) {
        TSandbox Box;
        TRunForm Run(Box, Name, false, "Hostile Sans");
        Families();  // sets up the font configuration before the snapshot
        const auto Before = AllFiles(Box.Root());
        EXPECT_EQ(MessageOf([&] { Run.Load(); }), "Font could not be installed") << Name;
        EXPECT_EQ(AllFiles(Box.Root()), Before) << Name;
        EXPECT_FALSE(Run.Typecask()->GetFontAdded());
    }
}

TEST(Installation, AnUnsafeTemporaryFolderIsNamedWithTheReason) {
    TSandbox Box;
    const std::string Temp = Box.Paths().TempFolder;
    fs::create_directories(Temp);
    fs::permissions(Temp, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    TRunForm Run(Box, "Unsafe Sans", false);
    const std::string Message = MessageOf([&] { Run.Load(); });
    EXPECT_NE(Message.find(Temp + ": the temporary folder's permissions are unsafe (mode 0755"), std::string::npos)
        << Message;
    EXPECT_FALSE(Run.Typecask()->GetFontAdded());
}

#ifndef _WIN32
// A permanent installation that cannot be finished (an ordinary user has
// no rights to the system's Fonts folder or key) is refused with message 4,
// its cause nested inside, and leaves no file, value or family behind. The
// sandbox's Fonts folder and registry store are blocked; Windows has no
// sandbox of its own to block (Wine grants every right).
TEST(Installation, APermanentInstallationThatCannotFinishIsRefusedAndTakenBack) {
    for (const bool BlockRegistry : {false, true}) {
        TSandbox Box;
        TRunForm Run(Box, "Blocked Sans", true);
        Families();  // sets up the font configuration first
        const std::string Fonts = Box.Paths().UserFontsFolder;
        if (BlockRegistry) {
            Os::ResetOsServices();
            fs::remove(Box.Paths().RegistryFile);
            fs::create_directories(Box.Paths().RegistryFile);  // a folder where the store should be
        } else {
            fs::remove_all(Fonts);
            std::ofstream(Fonts) << "a file where the Fonts folder should be";
        }
        std::string Reason;
        try {
            Run.Load();
        } catch (const ETypecask& E) {
            EXPECT_EQ(E.GetMessage(), "Font could not be installed") << BlockRegistry;
            try {
                std::rethrow_if_nested(E);
            } catch (const Exception& Cause) {
                Reason = Cause.GetMessage();
            }
        }
        EXPECT_NE(Reason, "") << "no cause nested, registry blocked: " << BlockRegistry;
        EXPECT_FALSE(Run.Typecask()->GetFontAdded());
        EXPECT_FALSE(fs::exists(Fonts + "/Blocked Sans.ttf")) << BlockRegistry;
        EXPECT_FALSE(HasFamily("Blocked Sans")) << BlockRegistry;
    }
}
#endif

// What a folder holds before "Foo" is installed into it, and what the
// installation leaves there: a file that was there is never touched, a
// failed installation leaves nothing of its own, and the registry's Fonts
// key stores the value "Foo (TrueType)" beside what the installed files
// show.
TEST(Installation, NeverTouchesAFileThatWasThereAndLeavesNothingWhenItFails) {
    enum TBefore { Nothing, SameBytes, FontOfFooPro, LinkToVictim, FooProBesideIt };
    const std::string Refused = "Font could not be installed";
    const struct TCase {
        const char* What;
        bool Permanent;
        const char* Declared;  // the family the carried font declares; nullptr: no font at all
        TBefore Before;
        std::string Message;
        std::vector<std::string> Folder;   // the folder's files afterwards
        std::vector<std::string> Listing;  // the Fonts key afterwards
    } Cases[] = {
        {"new", true, "Foo", Nothing, "", {"Foo.ttf"}, {"Foo (TrueType) = <fonts>/Foo.ttf"}},
        {"the same bytes are there", true, "Foo Pro", SameBytes, "", {"Foo.ttf"},
         {"Foo (TrueType) = <fonts>/Foo.ttf", "Foo Pro (TrueType) = <fonts>/Foo.ttf [derived]"}},
        {"two files, one full name", true, "Foo Pro", FooProBesideIt, "", {"Foo.ttf", "FooPro.ttf"},
         {"Foo (TrueType) = <fonts>/Foo.ttf", "Foo Pro (TrueType) = <fonts>/Foo.ttf [derived]"}},
        {"the user's Foo.ttf holds Foo Pro", true, "Foo", FontOfFooPro, Refused, {"Foo.ttf"},
         {"Foo Pro (TrueType) = <fonts>/Foo.ttf [derived]"}},
#ifndef _WIN32  // Wine makes no symbolic links
        {"a link to another file", true, "Foo", LinkToVictim, Refused, {"Foo.ttf"}, {}},
#endif
        {"no font, permanent", true, nullptr, Nothing, Refused, {}, {}},
        {"no font, temporary", false, nullptr, Nothing, Refused, {}, {}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        TSandbox Box;
        const std::string Bytes = C.Declared ? ReadFileBytes(Box.MakeFontFile(C.Declared)) : "hello worl";
        TRunForm Run("Foo", C.Permanent, Bytes);
        const std::string Folder = C.Permanent ? Box.Paths().UserFontsFolder + PathDelim : ProcessTemp();
        const std::string Target = Folder + "Foo.ttf";
        fs::create_directories(Folder);
        const auto FolderBefore = FolderContents(Folder);
        const auto ListingBefore = FontsKeyListing(Box);
        if (C.Before == SameBytes) std::ofstream(Target, std::ios::binary) << Bytes;
        if (C.Before == FontOfFooPro) Box.InstallFont("Foo Pro", {}, "Foo.ttf");
        if (C.Before == FooProBesideIt) Box.InstallFont("Foo Pro", {}, "FooPro.ttf");
        if (C.Before == LinkToVictim) {
            std::ofstream(Box / "victim.txt") << "precious";
            fs::create_symlink(Box / "victim.txt", Target);
        }
        Os::RefreshFontConfiguration();
        const std::string Held = ReadFileBytes(Target);
        ASSERT_EQ(Added(FolderContents(Folder), FolderBefore).empty(), C.Before == Nothing);

        EXPECT_EQ(MessageOf([&] { Run.Load(); }), C.Message);
        EXPECT_EQ(Run.Typecask()->GetFontAdded(), C.Message.empty());
        EXPECT_EQ(Run.Typecask()->GetFontFilePath(), Target) << "the path is kept after a failed installation";
        EXPECT_EQ(ReadFileBytes(Target), C.Message.empty() ? Bytes : Held);
        EXPECT_EQ(Added(FolderContents(Folder), FolderBefore), C.Folder);
        EXPECT_EQ(Added(FontsKeyListing(Box), ListingBefore), StoredValues(C.Listing));
        if (!C.Permanent) {
            EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{});
        }
    }
}

// A listener that fails to handle the font change does not undo the
// installation's record: the font is registered, and a temporary one is
// removed again.
TEST(Installation, AFailingFontChangeListenerLeavesTheInstallationRecorded) {
    for (const bool Permanent : {false, true}) {
        SCOPED_TRACE(Permanent ? "permanent" : "temporary");
        TSandbox Box;
        const auto ListingBefore = FontsKeyListing(Box);
        const int Listener = Os::AddBroadcastListener([](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            throw Exception("the listener failed");
        });
        std::string Path;
        {
            TRunForm Run(Box, "Loud Sans", Permanent);
            EXPECT_EQ(MessageOf([&] { Run.Load(); }), "");
            EXPECT_TRUE(Run.Typecask()->GetFontAdded());
            Path = Run.Typecask()->GetFontFilePath();
        }
        Os::RemoveBroadcastListener(Listener);
        EXPECT_EQ(fs::exists(Path), Permanent);
        const std::vector<std::string> Registered = {"Loud Sans (TrueType) = <fonts>/Loud Sans.ttf"};
        EXPECT_EQ(Added(FontsKeyListing(Box), ListingBefore), Permanent ? Registered : std::vector<std::string>{});
    }
}

// Two components of one process carry the same file under a family name
// that the file does not declare: both install it, and it stays until the
// last of them is gone.
TEST(Installation, ComponentsOfOneProcessShareTheFileUntilTheLastIsGone) {
    TSandbox Box;
    auto First = std::make_unique<TRunForm>(Box, "Twin", false, "Twin Face");
    TRunForm Second(Box, "Twin", false, "Twin Face");
    First->Load();
    Second.Load();
    ASSERT_TRUE(First->Typecask()->GetFontAdded() && Second.Typecask()->GetFontAdded());
    const std::string Path = Second.Typecask()->GetFontFilePath();
    First.reset();
    EXPECT_EQ(ReadFileBytes(Path), Second.FontBytes);
    delete Second.Typecask();
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{});

    TRunForm Third(Box, "Twin", false, "Twin Face");
    Third.Load();
    EXPECT_EQ(ReadFileBytes(Third.Typecask()->GetFontFilePath()), Third.FontBytes) << "the folder is made again";
}

// Two running copies of one application install the same family
// temporarily; the one that ends first takes only its own file away.
TEST(Installation, TwoProcessesInstallingOneFamilyKeepTheirOwnFiles) {
    TSandbox Box;
    TRunForm Mine(Box, "Shared Sans", false);
    ProcessTemp();  // a folder that a child made by fork must not take over
    TOtherCopy Other(Box);
    ASSERT_TRUE(Other.WaitUntilInstalled()) << "the other process installed the family";
    Mine.Load();
    ASSERT_TRUE(Mine.Typecask()->GetFontAdded());
    Other.End();

    const fs::path Path = Mine.Typecask()->GetFontFilePath();
    EXPECT_EQ(ReadFileBytes(Path.string()), Mine.FontBytes) << "the other process's removal left this file alone";
    EXPECT_EQ(Path.parent_path().filename().string().rfind(FolderPrefix(ThisProcessId()), 0), 0u);
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{Path.parent_path().filename().string()});
    delete Mine.Typecask();
    EXPECT_EQ(FolderContents(Box.Paths().TempFolder), std::vector<std::string>{});
}

// A run that is killed leaves its folder and font file behind; the next
// run's first temporary installation removes them.
TEST(Installation, AKilledRunsFolderIsRemovedByTheNextRun) {
    TSandbox Box;
    const std::string Font = ReadFileBytes(Box.MakeFontFile("Shared Sans"));
    {
        TOtherCopy Killed(Box);
        ASSERT_TRUE(Killed.WaitUntilInstalled());
        Killed.Kill();
        EXPECT_EQ(TempFiles(Box, Font, &Killed), std::vector<std::string>{"<other>/Shared Sans.ttf"});
    }
    TRunForm Next(Box, "Shared Sans", false);
    Next.Load();
    EXPECT_TRUE(Next.Typecask()->GetFontAdded()) << "the killed run's font is no longer installed";
    EXPECT_EQ(TempFiles(Box, Font), std::vector<std::string>{"<this>/Shared Sans.ttf"});
}

// Two copies run at once, the second one removing ended runs' folders
// while the first one's is in use: neither ever takes the other's. Each
// copy is the second every other round. In every other pair of rounds the
// other copy is killed, and the next round removes what it left.
TEST(Installation, RunningCopiesNeverRemoveEachOthersFiles) {
    TSandbox Box;
    const std::string Font = ReadFileBytes(Box.MakeFontFile("Shared Sans"));
    for (int Round = 0; Round < 20; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        const bool OtherFirst = Round % 2 == 0, Kill = Round % 4 >= 2;
        Os::ResetOsServices();  // this process starts again: its next installation is its first
        TRunForm Mine(Box, "Shared Sans", false);
        if (!OtherFirst) Mine.Load();
        TOtherCopy Other(Box);
        ASSERT_TRUE(Other.WaitUntilInstalled());
        if (OtherFirst) Mine.Load();
        ASSERT_TRUE(Mine.Typecask()->GetFontAdded());
        EXPECT_EQ(TempFiles(Box, Font, &Other),
                  (std::vector<std::string>{"<other>/Shared Sans.ttf", "<this>/Shared Sans.ttf"}));
        Kill ? Other.Kill() : Other.End();
        delete Mine.Typecask();
        EXPECT_EQ(TempFiles(Box, Font, &Other),
                  Kill ? std::vector<std::string>{"<other>/Shared Sans.ttf"} : std::vector<std::string>{});
    }
}

#ifdef _WIN32
// The other copy (TOtherCopy): installs the family, tells the first copy,
// waits until it may end, then ends, removing its installation.
TEST(Installation, OtherCopyOfTheApplication) {
    const char* Prefix = std::getenv("TYPECASK_TEST_OTHER_COPY");
    if (!Prefix) GTEST_SKIP() << "started by the tests of two running copies only";
    const HANDLE Installed = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(Prefix) + "-installed").c_str());
    const HANDLE Exit = ::OpenEventA(SYNCHRONIZE, FALSE, (std::string(Prefix) + "-exit").c_str());
    ASSERT_TRUE(Installed && Exit);
    FontGen::TFontDesign Font;
    Font.FamilyName = "Shared Sans";
    const auto Bytes = FontGen::BuildTrueTypeFont(Font);
    TRunForm Theirs("Shared Sans", false, std::string(Bytes.begin(), Bytes.end()));
    Theirs.Load();
    ASSERT_TRUE(Theirs.Typecask()->GetFontAdded());
    ::SetEvent(Installed);
    EXPECT_EQ(::WaitForSingleObject(Exit, 60000), WAIT_OBJECT_0);
    delete Theirs.Typecask();
    ::CloseHandle(Installed);
    ::CloseHandle(Exit);
}
#endif

// A font's licence (its OS/2 fsType) through the designer and a running
// program: whether choosing the family is refused, and where a form that
// asks for a permanent installation puts the font.
TEST(Installation, TheFontsLicenceDecidesChoosingAndTheKindOfInstallation) {
    const struct {
        const char* Name;
        std::uint16_t FsType;
        int Os2Version;
        int Refusal;  // message of the designer's refusal, 0 for none
        bool Permanent;
    } Cases[] = {
        {"Installable", 0x0000, 4, 0, true},
        {"No Subsetting", 0x0100, 4, 0, true},
        {"Editable", 0x0008, 4, 0, false},
        {"Preview", 0x0004, 4, 0, false},
        {"Mixed", 0x000C, 1, 0, false},  // an old table: the least restrictive bit applies
        {"Restricted", 0x0002, 4, msgFontRestricted, false},
        {"Bitmaps", 0x0200, 4, msgFontBitmapOnly, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSandbox Box;
        FontGen::TFontDesign FontDesign;
        FontDesign.FsType = C.FsType;
        FontDesign.Os2Version = C.Os2Version;
        const std::string Family = std::string("Licence ") + C.Name;
        const std::string Installed = Box.InstallFont(Family, FontDesign);

        // The designer: choosing the installed family.
        {
            TForm Design(true);
            TTypecask* T = Design.Add();
            TTypecaskName Choice(nullptr);
            Choice.SetTTFontName(Family);
            EXPECT_EQ(MessageOf([&] { T->SetTypecaskName(&Choice); }),
                      C.Refusal ? Format(LoadStr(C.Refusal), {AnsiString(Family)}) : "");
            EXPECT_EQ(T->GetFontData() != nullptr, C.Refusal == 0);
            EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), C.Refusal ? "" : Family);
        }

        // Form data made where the font could be embedded: the designer
        // reads it whole, though the family is installed here too.
        {
            TRunForm Stored(Family, true, ReadFileBytes(Installed));
            TForm Design(true);
            std::vector<std::string> Errors;
            LoadForm(Stored.Data, Design.Root, &Errors);
            EXPECT_EQ(Errors, std::vector<std::string>{});
            TTypecask* T = dynamic_cast<TTypecask*>(Design.Root->Components(0));
            EXPECT_EQ(T->GetTypecaskName()->GetTTFontName(), Family);
            ASSERT_NE(T->GetFontData(), nullptr);
            EXPECT_TRUE(StreamBytes(T->GetFontData()) == Stored.FontBytes) << "nothing stored is dropped";
        }

        // A running program installs it, as the form asks or only while it runs.
        const std::string Bytes = ReadFileBytes(Box.MakeFontFile(Family + " Run", FontDesign));
        const std::string Path = (C.Permanent ? Box.Paths().UserFontsFolder + PathDelim : ProcessTemp()) + Family +
                                 " Run.ttf";
        {
            TRunForm Run(Family + " Run", true, Bytes);
            Run.Load();
            EXPECT_TRUE(Run.Typecask()->GetFontAdded());
            EXPECT_EQ(Run.Typecask()->GetFontFilePath(), Path);
            EXPECT_TRUE(ReadFileBytes(Path) == Bytes);
        }
        EXPECT_EQ(fs::exists(Path), C.Permanent) << "a temporary installation goes with the component";
        EXPECT_EQ(RegisteredPath(Family + " Run"), C.Permanent ? Path : "");
    }
}

// A subset asked to stay for good is installed only for the run: for good
// it would stand in for the whole font of its family everywhere.
TEST(Installation, ASubsetIsInstalledOnlyWhileTheApplicationRuns) {
    TSandbox Box;
    const std::string Whole = ReadFileBytes(Box.MakeFontFile("Subset Run Sans"));
    const auto Subset = Os::TagPostScriptName(Whole.data(), Whole.size(), "ABCDEF");
    const std::string Path = ProcessTemp() + "Subset Run Sans.ttf";
    const auto Before = FolderContents(Box.Paths().UserFontsFolder);
    {
        TRunForm Run("Subset Run Sans", true, std::string(Subset.begin(), Subset.end()));
        Run.Load();
        EXPECT_TRUE(Run.Typecask()->GetFontSubset().IsSubset);
        EXPECT_EQ(Run.Typecask()->GetInstallationKind(), ikTemporary);
        EXPECT_EQ(Run.Typecask()->GetFontFilePath(), Path);
        EXPECT_TRUE(HasFamily("Subset Run Sans"));
    }
    EXPECT_FALSE(fs::exists(Path));
    EXPECT_EQ(RegisteredPath("Subset Run Sans"), "");
    EXPECT_EQ(FolderContents(Box.Paths().UserFontsFolder), Before) << "nothing installed for good";
}

TEST(Families, ListsTrueTypeFamiliesAndReplacesTheListContent) {
    TSandbox Box;
    const auto Before = Families();  // on Windows, the host's fonts too
    Box.InstallFont("Alpha Sans");
    Box.InstallFont("Beta Sans");
    TStringList List;
    List.Add("stale entry");
    GetTrueTypeFamilies(&List);
    std::vector<std::string> Got;
    for (int I = 0; I < List.Count(); ++I)
        if (std::find(Before.begin(), Before.end(), List[I]) == Before.end()) Got.push_back(List[I]);
    EXPECT_EQ(Got, (std::vector<std::string>{"Alpha Sans", "Beta Sans"}));
    EXPECT_EQ(Os::OpenDeviceContexts(), 0) << "the screen's device context is released";
}

}  // namespace
