#include "Typecask/component/TypecaskName.h"

#include <cstring>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
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

AnsiString TTypecaskName::FindTTFontFile(AnsiString FamilyName) const {
    if (FamilyName.empty()) return {};
    TRegIniFile Registry("");
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const AnsiString Value = Registry.ReadString(FontsKey, FamilyName + TrueTypeSuffix, "");
    if (Value.empty()) throw ETypecask(msgFontNotInRegistry, FamilyName);
    // A bare file name lies in the Fonts folder; anything with a delimiter is
    // a path of its own.
    const AnsiString Path = Value.find(BackslashText) == AnsiString::npos ? GetFontsFolder() + Value : Value;
    if (!FileExists(Path)) throw ETypecask(msgFontFileNotFound, Path);
    return Path;
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
