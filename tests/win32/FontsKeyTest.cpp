// The registered fonts on NT-based Windows, as the component looks them up
// and writes them, checked against the registry and the font table as the
// system shows them. Runs in a fresh Wine prefix; the families are ones no
// host has.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "Typecask/compression/LZStream.h"
#include "platform/os/SysRoot.h"
#include "platform/os/Windows.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"
#include "tests/win32/RunForm.h"
#include "tools/fontgen/FontGen.h"

#include <sddl.h>  // after <windows.h>

namespace {

using namespace ComponentTest;

const char* const NTFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char* const NineFontsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

// Sets or reads a value through advapi32 itself, not through the class
// library's registry classes.
void SetValue(const char* Key, const std::string& Name, const std::string& Data) {
    HKEY Handle = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Handle, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExA(Handle, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Data.c_str()),
                               static_cast<DWORD>(Data.size() + 1)),
              ERROR_SUCCESS);
    ::RegCloseKey(Handle);
}

std::string Value(const char* Key, const std::string& Name, HKEY Root = HKEY_LOCAL_MACHINE) {
    char Data[1024] = {};
    DWORD Size = sizeof Data - 1;
    if (::RegGetValueA(Root, Key, Name.c_str(), RRF_RT_REG_SZ, nullptr, Data, &Size) != ERROR_SUCCESS)
        return "<none>";
    return Data;
}

std::string MakeFont(const std::string& Family, const std::string& Path) {
    FontGen::TFontDesign Font;
    Font.FamilyName = Family;
    FontGen::WriteTrueTypeFont(Font, Path);
    return Path;
}

std::string TempFolder() {
    char Buffer[MAX_PATH];
    const DWORD Length = ::GetTempPathA(MAX_PATH, Buffer);
    return std::string(Buffer, Length);
}

TEST(FontsKeyOnNT, LookupTakesBareNamesFullPathsAndFacesFromTheNTKeyOnly) {
    ASSERT_TRUE(Os::IsWindowsNT());
    const std::string Fonts = GetFontsFolder();
    MakeFont("Typecask Bare", Fonts + "tcbare.ttf");
    const std::string Full = MakeFont("Typecask Full", TempFolder() + "tcfull.ttf");
    MakeFont("Typecask Styled", Fonts + "tcstyled.ttf");
    MakeFont("Typecask Nine", Fonts + "tcnine.ttf");
    SetValue(NTFontsKey, "Typecask Bare (TrueType)", "tcbare.ttf");
    SetValue(NTFontsKey, "Typecask Full (TrueType)", Full);
    SetValue(NTFontsKey, "Typecask Styled Bold (TrueType)", "tcstyled.ttf");
    SetValue(NTFontsKey, "Typecask Gone (TrueType)", "tcgone.ttf");
    SetValue(NineFontsKey, "Typecask Nine (TrueType)", "tcnine.ttf");

    struct Case {
        std::string Family;
        std::string Path;   // expected result, or
        std::string Error;  // the expected message
    } Cases[] = {
        {"Typecask Bare", Fonts + "tcbare.ttf", ""},
        {"typecask bare", Fonts + "tcbare.ttf", ""},
        {"Typecask Full", Full, ""},
        // No value of its own: the face whose file declares the family.
        {"Typecask Styled", Fonts + "tcstyled.ttf", ""},
        {"Typecask Gone", "", "Font file (" + Fonts + "tcgone.ttf) not found"},
        // The 9x key is not the system's on NT.
        {"Typecask Nine", "", "Font (Typecask Nine) not found in the registry"},
    };
    TTypecaskName Name(nullptr);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Family);
        std::string Found;
        const std::string Error = MessageOf([&] { Found = Name.FindTTFontFile(C.Family); });
        EXPECT_EQ(Found, C.Path);
        EXPECT_EQ(Error, C.Error);
    }
}

TEST(FontsKeyOnNT, InstallationsAsTheSystemShowsThem) {
    struct Case {
        bool Permanent;
        const char* Family;
    } Cases[] = {{true, "Typecask Permanent"}, {false, "Typecask Temporary"}, {true, "Typecask Caf\xC3\xA9"}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Family);
        const std::string ValueName = std::string(C.Family) + " (TrueType)";
        const std::string Expected = C.Permanent ? GetFontsFolder() + C.Family + ".ttf"
                                                 : Os::GetProcessTempFolder(TempFolder()) + C.Family + ".ttf";
        {
            TRunForm Run(C.Family, C.Permanent);
            Run.Load();
            EXPECT_EQ(Run.Typecask()->GetFontFilePath(), Expected);
            EXPECT_EQ(ReadFileBytes(Expected), Run.FontBytes);
            EXPECT_TRUE(HasFamily(C.Family)) << "the font table has the family";
            EXPECT_EQ(Value(NTFontsKey, ValueName), C.Permanent ? Expected : "<none>");
            EXPECT_EQ(Value(NineFontsKey, ValueName), "<none>");
        }
        // Destroyed: a permanent installation stays, a temporary one goes.
        EXPECT_EQ(HasFamily(C.Family), C.Permanent);
        EXPECT_EQ(::GetFileAttributesA(Expected.c_str()) != INVALID_FILE_ATTRIBUTES, C.Permanent);
        if (C.Permanent) {
            EXPECT_EQ(TTypecaskName(nullptr).FindTTFontFile(C.Family), Expected);
        }
    }
}

// The user's font folder, from the process's environment.
std::string UserFontsFolder() {
    char Buffer[MAX_PATH] = {};
    const DWORD Length = ::GetEnvironmentVariableA("LOCALAPPDATA", Buffer, MAX_PATH);
    return std::string(Buffer, Length) + "\\Microsoft\\Windows\\Fonts\\";
}

// While it lives, nobody may change the machine's Fonts key.
struct TReadOnlyFontsKey {
    TReadOnlyFontsKey() {
        EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, READ_CONTROL | WRITE_DAC, &Key), ERROR_SUCCESS);
        DWORD Size = 0;
        ::RegGetKeySecurity(Key, DACL_SECURITY_INFORMATION, nullptr, &Size);
        Before.resize(Size);
        EXPECT_EQ(::RegGetKeySecurity(Key, DACL_SECURITY_INFORMATION, Before.data(), &Size), ERROR_SUCCESS);
        PSECURITY_DESCRIPTOR ReadOnly = nullptr;
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                           &ReadOnly, nullptr));
        EXPECT_EQ(::RegSetKeySecurity(Key, DACL_SECURITY_INFORMATION, ReadOnly), ERROR_SUCCESS);
        ::LocalFree(ReadOnly);
    }
    ~TReadOnlyFontsKey() {
        ::RegSetKeySecurity(Key, DACL_SECURITY_INFORMATION, Before.data());
        ::RegCloseKey(Key);
    }
    HKEY Key = nullptr;
    std::vector<BYTE> Before;
};

// A standard user has no rights to the machine's Fonts folder or key
// (Wine grants every right: the refusal is forced from outside): the font
// is installed for the user, in the user's font folder and under
// HKEY_CURRENT_USER, nothing of the machine-wide attempt is left, and the
// lookup takes the user's value before the machine's. Wine does not read
// HKEY_CURRENT_USER's font values when a process starts, so only this
// process, which added the file, has the family in its font table.
TEST(FontsKeyOnNT, WhereTheMachineRefusesTheFontIsInstalledForTheUser) {
    ASSERT_EQ(Os::GetUserFonts(), Os::TUserFonts::PerUser) << "Wine is Windows 10 or later";
    for (const bool BlockKey : {false, true}) {
        const std::string Family = BlockKey ? "Typecask Key Refused" : "Typecask Folder Refused";
        SCOPED_TRACE(Family);
        const std::string ValueName = Family + " (TrueType)";
        const std::string Expected = UserFontsFolder() + Family + ".ttf";
        const std::string Machine = GetFontsFolder() + Family + ".ttf";
        {
            // The machine's Fonts folder is a file, or its key read-only.
            TestSupport::TSandbox Box;
            std::optional<TReadOnlyFontsKey> Key;
            if (BlockKey)
                Key.emplace();
            else
                Box.SetShellFontsFolder(Box.MakeFontFile("Typecask Not A Folder"));
            TRunForm Run(Family, true);
            EXPECT_EQ(MessageOf([&] { Run.Load(); }), "");
            EXPECT_EQ(Run.Typecask()->GetInstallationKind(), ikPerUser);
            EXPECT_EQ(Run.Typecask()->GetFontFilePath(), Expected);
            EXPECT_EQ(ReadFileBytes(Expected), Run.FontBytes);
            EXPECT_EQ(Value(NTFontsKey, ValueName, HKEY_CURRENT_USER), Expected);
            EXPECT_EQ(Value(NTFontsKey, ValueName), "<none>");
            EXPECT_EQ(::GetFileAttributesA(Machine.c_str()), INVALID_FILE_ATTRIBUTES) << "taken back";
            EXPECT_TRUE(HasFamily(Family));
        }
        // Destroyed: the installation stays, and the user's value is found
        // before another one of the machine.
        EXPECT_EQ(ReadFileBytes(Expected), TRunForm(Family, true).FontBytes);
        EXPECT_EQ(Value(NTFontsKey, ValueName, HKEY_CURRENT_USER), Expected);
        EXPECT_TRUE(HasFamily(Family));
        const std::string Other = MakeFont("Typecask Other", TempFolder() + "tcother.ttf");
        SetValue(NTFontsKey, ValueName, Other);
        EXPECT_EQ(TTypecaskName(nullptr).FindTTFontFile(Family), Expected);

        ::RemoveFontResourceA(Expected.c_str());
        ::DeleteFileA(Expected.c_str());
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, NTFontsKey, ValueName.c_str());
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, NTFontsKey, ValueName.c_str());
    }
}

}  // namespace
