#include "Typecask/component/TypecaskName.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tuple>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
#include "platform/os/FontFiles.h"
#include "platform/os/Windows.h"

AnsiString FontsKey;
AnsiString ShellFoldersKey;
AnsiString FontsValue;
AnsiString TrueTypeSuffix;
AnsiString FontFileExt;
AnsiString FontsSubdir;
AnsiString BackslashText;
AnsiString AboutPropName;
AnsiString FontNamePropName;

void InitializeTypecaskConstants() {
    FontsKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
    ShellFoldersKey = "\\.Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    FontsValue = "Fonts";
    TrueTypeSuffix = " (TrueType)";
    FontFileExt = ".ttf";
    // File paths use the platform's delimiter; registry key paths keep their
    // backslashes.
    FontsSubdir = AnsiString(1, PathDelim) + "Fonts" + PathDelim;
    BackslashText = AnsiString(1, PathDelim);
    AboutPropName = "About";
    FontNamePropName = "TypecaskName";
}

void FinalizeTypecaskConstants() {
    for (AnsiString* S : {&FontNamePropName, &AboutPropName, &BackslashText, &FontsSubdir, &FontFileExt,
                          &TrueTypeSuffix, &FontsValue, &ShellFoldersKey, &FontsKey}) {
        S->clear();
        S->shrink_to_fit();
    }
}

AnsiString GetFontsKey() {
    return Os::IsWindowsNT() ? AnsiString("\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts") : FontsKey;
}

TYPECASK_IMPLEMENT_CLASS(TTypecaskName)

void TTypecaskName::Publish(TPublisher<TTypecaskName>& P) {
    P.Property("TTFontName", &TTypecaskName::FFamilyName, &TTypecaskName::SetTTFontName);
}

TTypecaskName::TTypecaskName(TComponent* AOwner) : FOwnerComponent(AOwner) {}

TTypecaskName::~TTypecaskName() = default;

void TTypecaskName::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TTypecaskName*>(Source)) SetTTFontName(Other->FFamilyName);
}

void TTypecaskName::SetTTFontName(AnsiString Value) {
    if (Value == FFamilyName) return;
    FFamilyName = std::move(Value);
    if (auto* Owner = dynamic_cast<TTypecask*>(FOwnerComponent)) Owner->SetTypecaskName(this);
}

AnsiString TTypecaskName::GetTTFontFileName() { return FindTTFontFile(FFamilyName); }

namespace {

// A bare file name lies in the Fonts folder ("arial.ttf", as Windows writes
// the fonts of that folder); anything with a delimiter or a drive is a path
// of its own ("C:\Fonts\x.ttf", "Z:\usr\share\fonts\...").
AnsiString RegisteredFontPath(const AnsiString& Value) {
    const bool Bare = Value.find(BackslashText) == AnsiString::npos && Value.find('/') == AnsiString::npos &&
                      !(Value.size() > 1 && Value[1] == ':');
    return Bare ? GetFontsFolder() + Value : Value;
}

// What the style words of a font's name say of its face.
struct TFaceStyle {
    int Weight = 400;  // 100 (thin) to 950 (extra black)
    int Width = 5;     // 1 (ultra-condensed) to 9 (ultra-expanded)
    bool Slanted = false;
};

struct TStyleWord {
    const char* Word;  // in lower case
    int Weight;        // 0: leaves the weight alone
    int Width;         // 0: leaves the width alone
    bool Slanted;
};

constexpr TStyleWord StyleWords[] = {
    {"regular", 0, 0, false},      {"normal", 0, 0, false},       {"book", 0, 0, false},
    {"roman", 0, 0, false},        {"plain", 0, 0, false},        {"upright", 0, 0, false},
    {"thin", 100, 0, false},       {"hairline", 100, 0, false},   {"extralight", 200, 0, false},
    {"ultralight", 200, 0, false}, {"light", 300, 0, false},      {"semilight", 350, 0, false},
    {"demilight", 350, 0, false},  {"medium", 500, 0, false},     {"semibold", 600, 0, false},
    {"demibold", 600, 0, false},   {"demi", 600, 0, false},       {"bold", 700, 0, false},
    {"extrabold", 800, 0, false},  {"ultrabold", 800, 0, false},  {"heavy", 900, 0, false},
    {"black", 900, 0, false},      {"extrablack", 950, 0, false}, {"ultrablack", 950, 0, false},
    {"ultracondensed", 0, 1, false}, {"extracondensed", 0, 2, false}, {"condensed", 0, 3, false},
    {"cond", 0, 3, false},         {"narrow", 0, 3, false},       {"semicondensed", 0, 4, false},
    {"semiexpanded", 0, 6, false}, {"expanded", 0, 7, false},     {"extended", 0, 7, false},
    {"wide", 0, 7, false},         {"extraexpanded", 0, 8, false}, {"ultraexpanded", 0, 9, false},
    {"italic", 0, 0, true},        {"oblique", 0, 0, true},
};

// Whether Words (lower case, without separators) is a sequence of style
// words from Pos on; Style receives what they say.
bool ReadStyleWords(const std::string& Words, std::size_t Pos, TFaceStyle& Style) {
    if (Pos == Words.size()) return true;
    for (const auto& W : StyleWords) {
        const std::size_t Length = std::strlen(W.Word);
        if (Words.compare(Pos, Length, W.Word) != 0) continue;
        TFaceStyle Next = Style;
        if (W.Weight) Next.Weight = W.Weight;
        if (W.Width) Next.Width = W.Width;
        Next.Slanted |= W.Slanted;
        if (ReadStyleWords(Words, Pos + Length, Next)) {
            Style = Next;
            return true;
        }
    }
    return false;
}

AnsiString WithoutBlanks(const AnsiString& Text) {
    AnsiString Out;
    for (const char C : Text)
        if (C != ' ') Out += C;
    return Out;
}

// Whether a family name that a font declares is Family: the same name, the
// same name cut to the face-name limit (Family being the cut face name that
// the font table reports).
bool IsFamily(const AnsiString& Declared, const AnsiString& Family) {
    return AnsiSameText(Declared, Family) || AnsiSameText(Os::GetFaceName(Declared), Family);
}

// Whether Part, one font's name in a value name of the Fonts key, names a
// face of Family: the family, or the family followed by style words, each
// after a blank or a hyphen ("Noto Sans Bold Italic", "DejaVuMathTeXGyre-
// Regular": full names may drop the blanks of the family name). Style
// receives what the words say.
bool NamesFaceOf(const AnsiString& Part, const AnsiString& Family, TFaceStyle& Style) {
    for (std::size_t End = 1; End <= Part.size(); ++End) {
        if (End < Part.size() && Part[End] != ' ' && Part[End] != '-') continue;
        const AnsiString Head = Part.substr(0, End);
        if (!IsFamily(Head, Family) && !AnsiSameText(WithoutBlanks(Head), WithoutBlanks(Family))) continue;
        std::string Words;
        for (std::size_t I = End; I < Part.size(); ++I)
            if (Part[I] != ' ' && Part[I] != '-') Words += static_cast<char>(std::tolower(static_cast<unsigned char>(Part[I])));
        TFaceStyle Found;
        if (ReadStyleWords(Words, 0, Found)) {
            Style = Found;
            return true;
        }
    }
    return false;
}

struct TCandidate {
    AnsiString ValueName;
    TFaceStyle Style;

    // Closest to the regular face first: upright, normal width, weight
    // nearest 400; then by value name.
    auto Rank() const {
        return std::make_tuple(Style.Slanted, std::abs(Style.Width - 5), std::abs(Style.Weight - 400));
    }
    bool operator<(const TCandidate& Other) const {
        if (Rank() != Other.Rank()) return Rank() < Other.Rank();
        if (const int Order = AnsiCompareText(ValueName, Other.ValueName)) return Order < 0;
        return ValueName < Other.ValueName;
    }
};

// The values of the Fonts key that name a face of Family, the face closest
// to the regular one first. Value names are the fonts' full names followed
// by the suffix, a collection's joined with " & ".
std::vector<TCandidate> FaceValues(const std::vector<AnsiString>& ValueNames, const AnsiString& Family) {
    std::vector<TCandidate> Found;
    const std::size_t SuffixLength = TrueTypeSuffix.size();
    // A value names a face of Family only when one of its fonts begins with
    // the family's first letter: an ASCII letter rules out most values at
    // the cost of one comparison, before the comparisons of whole words.
    const auto Folded = [](char C) { return static_cast<char>(std::tolower(static_cast<unsigned char>(C))); };
    const bool AsciiStart = !Family.empty() && static_cast<unsigned char>(Family[0]) < 0x80;
    const auto MayName = [&](const AnsiString& Name) {
        if (!AsciiStart) return true;
        for (std::size_t Start = 0; Start < Name.size(); Start = Name.find(" & ", Start) + 3) {
            if (static_cast<unsigned char>(Name[Start]) >= 0x80 || Folded(Name[Start]) == Folded(Family[0])) return true;
            if (Name.find(" & ", Start) == AnsiString::npos) break;
        }
        return false;
    };
    for (const AnsiString& Name : ValueNames) {
        if (Name.size() <= SuffixLength || !AnsiSameText(Name.substr(Name.size() - SuffixLength), TrueTypeSuffix) ||
            !MayName(Name))
            continue;
        const AnsiString Fonts = Name.substr(0, Name.size() - SuffixLength);
        std::optional<TFaceStyle> Best;
        for (std::size_t Start = 0; Start <= Fonts.size();) {
            std::size_t End = Fonts.find(" & ", Start);
            if (End == AnsiString::npos) End = Fonts.size();
            TFaceStyle Style;
            if (NamesFaceOf(Fonts.substr(Start, End - Start), Family, Style) &&
                (!Best || TCandidate{Name, Style}.Rank() < TCandidate{Name, *Best}.Rank()))
                Best = Style;
            Start = End + 3;
        }
        if (Best) Found.push_back({Name, *Best});
    }
    std::sort(Found.begin(), Found.end());
    return Found;
}

// A user's own fonts come before the machine's, as the system lists them.
const HKEY FontsRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

}  // namespace

TFontsKeyNames ReadFontsKeyNames() {
    TRegIniFile Registry("");
    const AnsiString Key = GetFontsKey();
    TFontsKeyNames Names;
    for (const HKEY Root : FontsRoots) {
        Registry.SetRootKey(Root);
        Names.PerRoot.push_back(Registry.ReadSection(Key));
    }
    return Names;
}

AnsiString TTypecaskName::FindTTFontFile(AnsiString FamilyName) const { return FindTTFontFile(FamilyName, nullptr); }

AnsiString TTypecaskName::FindTTFontFile(AnsiString FamilyName, const TFontsKeyNames* Names) const {
    if (FamilyName.empty()) return {};
    TRegIniFile Registry("");
    const AnsiString Key = GetFontsKey();
    const auto& Roots = FontsRoots;
    // The value named after the family itself comes first: stored forms and
    // the installations of this component use it.
    for (const HKEY Root : Roots) {
        Registry.SetRootKey(Root);
        const AnsiString Value = Registry.ReadString(Key, FamilyName + TrueTypeSuffix, "");
        if (Value.empty()) continue;
        const AnsiString Path = RegisteredFontPath(Value);
        if (!FileExists(Path)) throw ETypecask(msgFontFileNotFound, Path);
        return Path;
    }
    // Fonts are registered under their full names ("Noto Sans Regular"), so
    // most families have no value of their own: take the face closest to
    // regular whose file declares the family (so that "Noto Sans" never
    // ends in "Noto Sans Arabic Regular").
    AnsiString Missing;
    for (std::size_t R = 0; R < std::size(Roots); ++R) {
        Registry.SetRootKey(Roots[R]);
        const std::vector<AnsiString> Read = Names ? std::vector<AnsiString>{} : Registry.ReadSection(Key);
        for (const TCandidate& C : FaceValues(Names ? Names->PerRoot.at(R) : Read, FamilyName)) {
            const AnsiString Data = Registry.ReadString(Key, C.ValueName, "");
            if (Data.empty()) continue;
            const AnsiString Path = RegisteredFontPath(Data);
            if (!FileExists(Path)) {
                if (Missing.empty()) Missing = Path;
                continue;
            }
            for (const AnsiString& Declared : Os::GetFontFileDeclaredFamilies(Path))
                if (IsFamily(Declared, FamilyName)) return Path;
        }
    }
    if (!Missing.empty()) throw ETypecask(msgFontFileNotFound, Missing);
    throw ETypecask(msgFontNotInRegistry, FamilyName);
}

AnsiString GetFontsFolder() {
    TRegIniFile Registry("");
    Registry.SetRootKey(HKEY_USERS);
    const AnsiString Folder = Registry.ReadString(ShellFoldersKey, FontsValue, "");
    if (Folder.empty()) {
        // Without a Windows directory there is no Fonts folder: refuse rather
        // than fall back on a folder at the root of the file system.
        char Buffer[MAX_PATH] = {};
        const UINT Length = GetWindowsDirectoryA(Buffer, MAX_PATH);
        if (Length == 0 || Length >= MAX_PATH) throw EOSError("The Windows directory could not be obtained", 0);
        return AnsiString(Buffer, Length) + FontsSubdir;
    }
    // The last whole character decides: the trail byte of a multi-byte
    // character is no delimiter.
    const char* Last = AnsiLastChar(Folder);
    return BackslashText == AnsiString(1, *Last) ? Folder : Folder + BackslashText;
}

Os::TFontEmbedding GetFamilyEmbedding(const AnsiString& Family, const TFontsKeyNames* Names) {
    try {
        return Os::GetFontFileEmbedding(TTypecaskName(nullptr).FindTTFontFile(Family, Names));
    } catch (const Exception&) {
        return {};  // choosing it reports why its file cannot be had
    }
}

int GetEmbeddingRefusal(const Os::TFontEmbedding& Embedding) {
    if (Os::MayEmbed(Embedding)) return 0;
    return Embedding.Permission == Os::TEmbeddingPermission::BitmapOnly ? msgFontBitmapOnly : msgFontRestricted;
}

AnsiString GetLicenceNote(const AnsiString& Family, const Os::TFontEmbedding& Embedding) {
    if (const int Refusal = GetEmbeddingRefusal(Embedding)) return Format(LoadStr(Refusal), {Family});
    if (Embedding.Permission == Os::TEmbeddingPermission::Installable) return {};
    return Format(LoadStr(msgFontTemporaryByLicence), {Family, Os::EmbeddingPermissionName(Embedding.Permission)});
}
