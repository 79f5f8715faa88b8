// Installing the component's font, temporarily or for good, and removing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Typecask/component/Typecask.h"
#include "Typecask/compression/LZStream.h"
#include "platform/Registry.h"
#include "platform/os/Windows.h"
#include "tests/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;
namespace fs = std::filesystem;

// A run-time form whose component holds the bytes of a generated font of
// Family, as a read form would (the data is set by reading form data).
struct TRunForm {
    TRunForm(TSandbox& Box, const std::string& Family, bool Permanent, const std::string& FontFamily = {})
        : Form(false) {
        const std::string Bytes = ReadFileBytes(Box.MakeFontFile(FontFamily.empty() ? Family : FontFamily));
        std::string Hex;
        {
            TMemoryStream Raw, Packed;
            Raw.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
            Raw.SetPosition(0);
            TLZStream Codec;
            Codec.Compress(&Raw, &Packed, static_cast<std::int32_t>(Bytes.size()));
            static const char* Digits = "0123456789ABCDEF";
            for (unsigned char C : StreamBytes(&Packed)) {
                Hex += Digits[C >> 4];
                Hex += Digits[C & 15];
            }
        }
        std::string Text = "object Form1: TTestForm\n  object Typecask1: TTypecask\n";
        if (!Permanent) Text += "    InstallPermanently = False\n";
        Text += "    TypecaskName.TTFontName = " + Quote(Family) + "\n    TrueTypeFontResource = {\n" + Hex +
                "}\n  end\nend\n";
        TextToForm(Text, Data);
        FontBytes = Bytes;
    }
    static std::string Quote(const std::string& S) {
        std::string Out = "'";
        for (char C : S) {
            if (static_cast<unsigned char>(C) < 0x20) {
                Out += "'#" + std::to_string(static_cast<int>(C)) + "'";
                continue;
            }
            if (C == '\'') Out += '\'';
            Out += C;
        }
        return Out + "'";
    }
    // Reads the form; Loaded installs.
    void Load() { LoadForm(Data, Form.Root); }
    TTypecask* Typecask() const { return dynamic_cast<TTypecask*>(Form.Root->Components(0)); }

    TForm Form;
    TMemoryStream Data;
    std::string FontBytes;
};

std::string RegisteredPath(const std::string& Family) {
    TRegIniFile Registry("");
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    for (const auto& Name : Registry.ReadSection(FontsKey))
        if (Name == Family + " (TrueType)") return Registry.ReadString(FontsKey, Name, "");
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
    const std::string Temp = Box.Paths().TempFolder + "/";
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
}

TEST(Installation, PermanentAtRunTimeStaysAndIsRegistered) {
    TSandbox Box;
    const std::string Expected = Box.Paths().UserFontsFolder + "/Perm Sans.ttf";
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

TEST(Installation, TheDesignerInstallsTemporarilyWhateverThePropertySays) {
    TSandbox Box;
    // Registered under one name, while the file declares another: the
    // lookup finds the file, but the family is not enumerated, so the
    // designer installs it.
    const std::string File = Box.MakeFontFile("Declared Face");
    {
        TRegIniFile Registry("");
        Registry.SetRootKey(HKEY_LOCAL_MACHINE);
        Registry.WriteString(FontsKey, "Designer Sans (TrueType)", File);
    }
    TForm Design(true);
    TTypecask* T = Design.Add();
    ASSERT_TRUE(T->GetInstallPermanently());
    TTypecaskName Choice(nullptr);
    Choice.SetTTFontName("Designer Sans");
    T->SetTypecaskName(&Choice);
    const std::string Path = Box.Paths().TempFolder + "/Designer Sans.ttf";
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
    std::ofstream(Path) << "someone else's file";
    T->RemoveFontResourceA();
    EXPECT_TRUE(fs::exists(Path)) << "the second removal does nothing";
}

TEST(Installation, ReplacesAnExistingFileAndAPlantedLinkWithoutTouchingItsTarget) {
    TSandbox Box;
    char Buffer[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, Buffer), 0u);  // creates the private folder
    const std::string Temp = Buffer;
    std::ofstream(Temp + "Over Sans.ttf") << "old content";
    const std::string Victim = Box / "victim.txt";
    std::ofstream(Victim) << "precious";
    fs::create_symlink(Victim, Temp + "Link Sans.ttf");

    TRunForm Over(Box, "Over Sans", false);
    Over.Load();
    EXPECT_EQ(ReadFileBytes(Temp + "Over Sans.ttf"), Over.FontBytes);

    TRunForm Link(Box, "Link Sans", false);
    Link.Load();
    EXPECT_FALSE(fs::is_symlink(Temp + "Link Sans.ttf"));
    EXPECT_EQ(ReadFileBytes(Temp + "Link Sans.ttf"), Link.FontBytes);
    EXPECT_EQ(ReadFileBytes(Victim), "precious");
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

TEST(Installation, AFileTheFontTableRefusesGivesMessage4AndStays) {
    TSandbox Box;
    TRunForm Run(Box, "Not A Font", false);
    // Replace the bytes with something that is no font.
    std::string Text = "object Form1: TTestForm\n  object Typecask1: TTypecask\n    InstallPermanently = False\n"
                       "    TypecaskName.TTFontName = 'Not A Font'\n    TrueTypeFontResource = {\n"
                       "4C5A53747265616D0E0000000A0000008068656C6C6F20776F72}\n  end\nend\n";
    TextToForm(Text, Run.Data);
    EXPECT_EQ(MessageOf([&] { Run.Load(); }), "Font could not be installed");
    TTypecask* T = Run.Typecask();
    const std::string Path = Box.Paths().TempFolder + "/Not A Font.ttf";
    EXPECT_EQ(T->GetFontFilePath(), Path) << "the path is kept after a failed installation";
    EXPECT_FALSE(T->GetFontAdded());
    EXPECT_TRUE(fs::exists(Path)) << "nothing written is undone";
    delete T;
    EXPECT_TRUE(fs::exists(Path)) << "never added, so never removed";
}

TEST(Families, ListsTrueTypeFamiliesAndReplacesTheListContent) {
    TSandbox Box;
    Box.InstallFont("Alpha Sans");
    Box.InstallFont("Beta Sans");
    TStringList List;
    List.Add("stale entry");
    GetTrueTypeFamilies(&List);
    std::vector<std::string> Got;
    for (int I = 0; I < List.Count(); ++I) Got.push_back(List[I]);
    EXPECT_EQ(Got, (std::vector<std::string>{"Alpha Sans", "Beta Sans"}));
    EXPECT_EQ(Os::OpenDeviceContexts(), 0) << "the screen's device context is released";
}

}  // namespace
