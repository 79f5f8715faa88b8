// Installing the component's font on this machine and removing it again.
#include <cstring>
#include <memory>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
#include "platform/os/SysRoot.h"
#include "platform/os/Windows.h"

namespace {

// The family name becomes a file name inside the Fonts or temporary folder.
// Refuse every name that could lead outside that folder or name something
// other than a plain file in it: delimiters of either kind, drive and stream
// colons, control characters, "." and "..", and names that are empty once
// the trailing dots and blanks some file systems drop are gone.
bool IsSafeFontFileName(const AnsiString& Family) {
    for (const char C : Family) {
        const auto Byte = static_cast<unsigned char>(C);
        if (Byte < 0x20 || Byte == 0x7F || C == '/' || C == '\\' || C == ':') return false;
    }
    const auto Last = Family.find_last_not_of(". ");
    return Last != AnsiString::npos;
}

AnsiString TemporaryFolder() {
    char Buffer[MAX_PATH] = {};
    const DWORD Length = GetTempPathA(MAX_PATH, Buffer);
    if (Length == 0 || Length >= MAX_PATH) {
        const auto Code = static_cast<int>(GetLastError());
        const AnsiString Why = Os::GetFolderErrorText();
        throw EOSError("The temporary directory could not be obtained: " +
                           (Why.empty() ? Format("error %d", {Code}) : Why),
                       Code);
    }
    return AnsiString(Buffer, Length);
}

}  // namespace

bool TTypecask::IsPermanentInstallation() const { return !ComponentState().Contains(csDesigning) && FPermanent; }

void TTypecask::AddFontResourceA() {
    if (!FFontData) return;
    if (CheckIfIntalled()) return;
    const AnsiString& Family = FFontName->FFamilyName;
    if (!IsSafeFontFileName(Family)) throw ETypecask(msgFontNotInstalled);

    const bool Permanent = IsPermanentInstallation();
    const AnsiString Folder = Permanent ? GetFontsFolder() : TemporaryFolder();
    FFontFilePath = Folder + Family + FontFileExt;

    // Programs map font files: never truncate one in place. The bytes go to
    // a new file beside the target, which then replaces the target in one
    // step; on failure the target is left as it was.
    {
        TAtomicFileStream File(FFontFilePath);
        File.CopyFrom(FFontData.get(), 0);
        File.Commit();
    }

    if (::AddFontResourceA(FFontFilePath.c_str()) == 0) throw ETypecask(msgFontNotInstalled);
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    FFontAdded = true;

    if (Permanent) {
        TRegIniFile Registry("");
        Registry.SetRootKey(HKEY_LOCAL_MACHINE);
        Registry.WriteString(FontsKey, Family + TrueTypeSuffix, FFontFilePath);
    }
}

void TTypecask::RemoveFontResourceA() {
    if (!FFontAdded) return;
    // A permanent installation stays: file, registry value and font table
    // entry. The registry is not touched for a temporary one either: a value
    // under this family's name belongs to some other installation.
    if (!IsPermanentInstallation()) {
        ::RemoveFontResourceA(FFontFilePath.c_str());
        try {
            SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
        } catch (...) {
            // Removal reports nothing: a listener that fails does not keep
            // the file.
        }
        DeleteFile(FFontFilePath);
    }
    FFontAdded = false;
}

bool TTypecask::CheckIfIntalled() const {
    const auto List = std::make_unique<TStringList>();
    GetTrueTypeFamilies(List.get());
    return List->IndexOf(FFontName->FFamilyName) != -1;
}

void GetTrueTypeFamilies(TStrings* List) {
    const HDC Screen = GetDC(nullptr);
    struct TRelease {
        HDC Dc;
        ~TRelease() { ReleaseDC(nullptr, Dc); }
    } Release{Screen};
    List->Clear();
    EnumFontFamiliesA(Screen, nullptr, EnumTrueTypeFamilyProc, reinterpret_cast<LPARAM>(List));
}

int EnumTrueTypeFamilyProc(const LOGFONTA* LogFont, const TEXTMETRICA*, DWORD FontType, LPARAM Data) {
    if (FontType & TRUETYPE_FONTTYPE)
        reinterpret_cast<TStrings*>(Data)->Add(
            AnsiString(LogFont->lfFaceName, ::strnlen(LogFont->lfFaceName, LF_FACESIZE)));
    return 1;
}
