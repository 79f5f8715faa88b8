// The registered fonts on NT-based Windows, as the component looks them up
// and writes them, checked against the registry and the font table as the
// system shows them. Runs in a fresh Wine prefix; the families are ones no
// host has.
#include <gtest/gtest.h>

#include "Typecask/component/Typecask.h"
#include "Typecask/compression/LZStream.h"
#include "platform/os/SysRoot.h"
#include "platform/os/Windows.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tools/fontgen/FontGen.h"

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

std::string Value(const char* Key, const std::string& Name) {
    char Data[1024] = {};
    DWORD Size = sizeof Data - 1;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, Key, Name.c_str(), RRF_RT_REG_SZ, nullptr, Data, &Size) != ERROR_SUCCESS)
        return "<none>";
    return Data;
}

std::string MakeFont(const std::string& Family, const std::string& Path) {
    FontGen::TFontSpec Font;
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

// A run-time form whose component carries the bytes of a generated font of
// Family in its form data; Load reads it, which installs the font.
struct TRunForm {
    TRunForm(const std::string& Family, bool Permanent) : Form(false) {
        FontGen::TFontSpec Font;
        Font.FamilyName = Family;
        const auto Bytes = FontGen::BuildTrueTypeFont(Font);
        FontBytes.assign(Bytes.begin(), Bytes.end());
        TMemoryStream Raw, Packed;
        Raw.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
        Raw.SetPosition(0);
        TLZStream().Compress(&Raw, &Packed, static_cast<std::int32_t>(Bytes.size()));
        std::string Hex;
        for (unsigned char C : StreamBytes(&Packed)) {
            Hex += "0123456789ABCDEF"[C >> 4];
            Hex += "0123456789ABCDEF"[C & 15];
        }
        TextToForm("object Form1: TTestForm\n  object Typecask1: TTypecask\n" +
                       std::string(Permanent ? "" : "    InstallPermanently = False\n") +
                       "    TypecaskName.TTFontName = '" + Family + "'\n    TrueTypeFontResource = {\n" + Hex +
                       "}\n  end\nend\n",
                   Data);
    }
    void Load() { LoadForm(Data, Form.Root); }
    TTypecask* Typecask() const { return dynamic_cast<TTypecask*>(Form.Root->Components(0)); }

    TForm Form;
    TMemoryStream Data;
    std::string FontBytes;
};

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

}  // namespace
