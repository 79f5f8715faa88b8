#include "Typecask/component/TypecaskName.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"
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
            if (Part[I] != ' ' && Part[I] != '-') Words += Part[I];
        TFaceStyle Found;
        if (ReadStyleWords(LowerCase(Words), 0, Found)) {
            Style = Found;
            return true;
        }
    }
    return false;
}

struct TCandidate {
    AnsiString ValueName;
    TFaceStyle Style;
    std::size_t Index;  // of the value in the names searched

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
    // Every rule of NamesFaceOf needs a font's name, without its blanks, to
    // begin with the family's name without blanks, letter case aside. Tried
    // on bytes first, this rules out most values (the Noto families share
    // their first word) before the comparisons of whole words; letters
    // beyond ASCII are left to those comparisons.
    const std::string Key = LowerCase(WithoutBlanks(Family));
    const auto MayNameFace = [&](std::string_view Font) {
        std::size_t K = 0;
        for (std::size_t I = 0; I < Font.size() && K < Key.size(); ++I) {
            const auto C = static_cast<unsigned char>(Font[I]);
            if (C == ' ') continue;
            if (C >= 0x80 || static_cast<unsigned char>(Key[K]) >= 0x80) return true;
            if (LowerCase(static_cast<char>(C)) != Key[K]) return false;
            ++K;
        }
        return K == Key.size();
    };
    const auto MayName = [&](std::string_view Name) {
        for (std::size_t Start = 0;;) {
            const std::size_t End = std::min(Name.find(" & ", Start), Name.size());
            if (MayNameFace(Name.substr(Start, End - Start))) return true;
            if (End == Name.size()) return false;
            Start = End + 3;
        }
    };
    for (std::size_t Index = 0; Index < ValueNames.size(); ++Index) {
        const AnsiString& Name = ValueNames[Index];
        if (!MayName(Name) || Name.size() <= SuffixLength ||
            !AnsiSameText(Name.substr(Name.size() - SuffixLength), TrueTypeSuffix))
            continue;
        const AnsiString Fonts = Name.substr(0, Name.size() - SuffixLength);
        std::optional<TFaceStyle> Best;
        for (std::size_t Start = 0; Start <= Fonts.size();) {
            std::size_t End = Fonts.find(" & ", Start);
            if (End == AnsiString::npos) End = Fonts.size();
            TFaceStyle Style;
            if (NamesFaceOf(Fonts.substr(Start, End - Start), Family, Style) &&
                (!Best || TCandidate{Name, Style, 0}.Rank() < TCandidate{Name, *Best, 0}.Rank()))
                Best = Style;
            Start = End + 3;
        }
        if (Best) Found.push_back({Name, *Best, Index});
    }
    std::sort(Found.begin(), Found.end());
    return Found;
}

// A user's own fonts come before the machine's, as the system lists them.
const HKEY FontsRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

}  // namespace

TFontsKeyValues ReadFontsKeyValues() {
    TRegIniFile Registry("");
    const AnsiString Key = GetFontsKey();
    TFontsKeyValues Values;
    for (const HKEY Root : FontsRoots) {
        Registry.SetRootKey(Root);
        auto& Names = Values.Names.emplace_back();
        auto& Data = Values.Data.emplace_back();
        for (auto& [Name, Text] : Registry.ReadSectionValues(Key)) {
            Names.push_back(std::move(Name));
            Data.push_back(std::move(Text));
        }
    }
    return Values;
}

AnsiString TTypecaskName::FindTTFontFile(AnsiString FamilyName) const { return FindTTFontFile(FamilyName, nullptr); }

namespace {

// The file registered for Family in Values, or empty; Missing receives the
// registered file that does not exist when that ends the search.
AnsiString LocateFontFile(const AnsiString& Family, const TFontsKeyValues& Values, AnsiString& Missing) {
    // A bare file name lies in the Fonts folder ("arial.ttf", as Windows
    // writes the fonts of that folder), asked for once; anything with a
    // delimiter or a drive is a path of its own ("C:\Fonts\x.ttf",
    // "Z:\usr\share\fonts\...").
    std::optional<AnsiString> Folder;
    const auto PathOf = [&](const AnsiString& Value) {
        const bool Bare = Value.find(BackslashText) == AnsiString::npos && Value.find('/') == AnsiString::npos &&
                          !(Value.size() > 1 && Value[1] == ':');
        if (!Bare) return Value;
        if (!Folder) Folder = GetFontsFolder();
        return *Folder + Value;
    };
    const auto& Roots = FontsRoots;
    // The value named after the family itself comes first: stored forms and
    // the installations of this component use it. Value names ignore
    // letter case, as the registry's do.
    const AnsiString Own = Family + TrueTypeSuffix;
    for (std::size_t R = 0; R < std::size(Roots); ++R) {
        const auto& Names = Values.Names.at(R);
        const auto Named = std::find_if(Names.begin(), Names.end(), [&](const AnsiString& N) { return AnsiSameText(N, Own); });
        if (Named == Names.end()) continue;
        const AnsiString& Value = Values.Data.at(R)[static_cast<std::size_t>(Named - Names.begin())];
        if (Value.empty()) continue;
        const AnsiString Path = PathOf(Value);
        if (FileExists(Path)) return Path;
        Missing = Path;
        return {};
    }
    // Fonts are registered under their full names ("Noto Sans Regular"), so
    // most families have no value of their own: take the face closest to
    // regular whose file declares the family (so that "Noto Sans" never
    // ends in "Noto Sans Arabic Regular").
    for (std::size_t R = 0; R < std::size(Roots); ++R) {
        for (const TCandidate& C : FaceValues(Values.Names.at(R), Family)) {
            const AnsiString& Data = Values.Data.at(R)[C.Index];
            if (Data.empty()) continue;
            const AnsiString Path = PathOf(Data);
            if (!FileExists(Path)) {
                if (Missing.empty()) Missing = Path;
                continue;
            }
            for (const AnsiString& Declared : Os::GetFontFileDeclaredFamilies(Path))
                if (IsFamily(Declared, Family)) {
                    Missing.clear();
                    return Path;
                }
        }
    }
    return {};
}

}  // namespace

AnsiString TTypecaskName::FindTTFontFile(AnsiString FamilyName, const TFontsKeyValues* Values) const {
    if (FamilyName.empty()) return {};
    std::optional<TFontsKeyValues> Read;
    if (!Values) Values = &Read.emplace(ReadFontsKeyValues());
    AnsiString Missing;
    if (AnsiString Path = LocateFontFile(FamilyName, *Values, Missing); !Path.empty()) return Path;
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

Os::TFontEmbedding GetFamilyEmbedding(const AnsiString& Family, const TFontsKeyValues* Values) {
    // Without exceptions: a picker asks this for every row, and most listed
    // families have no registered file.
    try {
        std::optional<TFontsKeyValues> Read;
        if (!Values) Values = &Read.emplace(ReadFontsKeyValues());
        AnsiString Missing;
        const AnsiString Path = Family.empty() ? AnsiString() : LocateFontFile(Family, *Values, Missing);
        // A family without a file states no licence: choosing it reports why.
        return Path.empty() ? Os::TFontEmbedding{} : Os::GetFontFileEmbedding(Path);
    } catch (const Exception&) {
        return {};  // the registry could not be read: choosing it says so
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
