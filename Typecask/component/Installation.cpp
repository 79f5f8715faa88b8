// Installing the component's font on this machine and removing it again.
#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"
#include "platform/Registry.h"
#include "platform/TextConv.h"
#include "platform/os/SysRoot.h"
#include "platform/os/Windows.h"

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

namespace {

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

// Tells every top-level window that the fonts changed. A window that fails
// to handle the news changes nothing in the font table, so its error is not
// the installation's (nor the removal's): the font stays recorded as added
// and is removed again in due course.
void BroadcastFontChange() noexcept {
    try {
        SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    } catch (...) {
    }
}

// True when the file at Path holds exactly the bytes of Data.
bool HoldsBytes(const AnsiString& Path, TMemoryStream& Data) {
    TFileStream File(Path, fmOpenRead | fmShareDenyNone);
    if (File.GetSize() != Data.GetSize()) return false;
    const auto* Expected = reinterpret_cast<const char*>(Data.GetMemory());
    std::vector<char> Buffer(64 * 1024);
    for (std::int64_t Done = 0; Done < Data.GetSize();) {
        const auto Count = File.Read(Buffer.data(), static_cast<std::int64_t>(Buffer.size()));
        if (Count <= 0 || std::memcmp(Buffer.data(), Expected + Done, static_cast<std::size_t>(Count)) != 0)
            return false;
        Done += Count;
    }
    return true;
}

// How often the components of this process have added each temporary
// font file and not yet removed it. Windows counts the adds of a file but
// reports no count.
std::map<AnsiString, int>& ComponentAdds() {
    static std::map<AnsiString, int> Instance;
    return Instance;
}

// True while the font table still holds the file: another component of
// this process (or other code of it) added the same file, which must stay
// until it is done.
bool StillAdded(const AnsiString& Path) {
    if (ComponentAdds().contains(Path)) return true;
    const auto Fonts = Os::ApplicationFonts();
    return std::any_of(Fonts.begin(), Fonts.end(), [&](const Os::TAppFont& F) { return F.FileName == Path; });
}

// A permanent installation needs the rights to the system's Fonts folder
// and key, which an ordinary user lacks: whatever stops it is reported as
// the font not being installed, with the cause nested inside.
[[noreturn]] void RethrowAsNotInstalled() {
    try {
        throw;
    } catch (const ETypecask&) {
        throw;
    } catch (...) {
        std::throw_with_nested(ETypecask(msgFontNotInstalled));
    }
}

}  // namespace

bool TTypecask::IsPermanentInstallation() const { return !ComponentState().Contains(csDesigning) && FPermanent; }

void TTypecask::AddFontResourceA() {
    if (!FFontData) return;
    if (CheckIfIntalled()) return;
    const AnsiString& Family = FFontName->FFamilyName;
    if (!IsSafeFontFileName(Family)) throw ETypecask(msgFontNotInstalled);

    // A temporary font file goes into a folder of this process's own, so
    // that another running copy of the application never deletes it.
    const bool Permanent = IsPermanentInstallation();
    AnsiString Folder;

    // Programs map font files, and a file of this name may be someone's own
    // font: the bytes go to a new file beside the target, which takes the
    // target's name only when nothing has it. A file that is there already
    // is never touched: it is used when it holds exactly these bytes and
    // refused otherwise.
    bool Written = false;
    try {
        Folder = Permanent ? GetFontsFolder() : Os::GetProcessTempFolder(TemporaryFolder());
        FFontFilePath = Folder + Family + FontFileExt;
        {
            TAtomicFileStream File(FFontFilePath);
            File.CopyFrom(FFontData.get(), 0);
            Written = File.CommitIfAbsent();
        }
        if (!Written && !HoldsBytes(FFontFilePath, *FFontData)) throw ETypecask(msgFontNotInstalled);
        if (::AddFontResourceA(FFontFilePath.c_str()) == 0) throw ETypecask(msgFontNotInstalled);
    } catch (...) {
        // A failed installation leaves no file of its own behind.
        if (Written) DeleteFile(FFontFilePath);
        if (!Permanent && !Folder.empty()) RemoveDir(Folder);
        if (Permanent) RethrowAsNotInstalled();
        throw;
    }
    if (!Permanent) ++ComponentAdds()[FFontFilePath];
    BroadcastFontChange();
    FFontAdded = true;

    if (Permanent) {
        try {
            TRegIniFile Registry("");
            Registry.SetRootKey(HKEY_LOCAL_MACHINE);
            Registry.WriteString(GetFontsKey(), Family + TrueTypeSuffix, FFontFilePath);
        } catch (...) {
            // Unregistered, the font would be gone at the next start while
            // its file stayed: what was done is taken back.
            ::RemoveFontResourceA(FFontFilePath.c_str());
            BroadcastFontChange();
            if (Written) DeleteFile(FFontFilePath);
            FFontAdded = false;
            RethrowAsNotInstalled();
        }
    }
}

void TTypecask::RemoveFontResourceA() {
    if (!FFontAdded) return;
    // A permanent installation stays: file, registry value and font table
    // entry. The registry is not touched for a temporary one either: a value
    // under this family's name belongs to some other installation.
    if (!IsPermanentInstallation()) {
        ::RemoveFontResourceA(FFontFilePath.c_str());
        if (const auto It = ComponentAdds().find(FFontFilePath); It != ComponentAdds().end() && --It->second <= 0)
            ComponentAdds().erase(It);
        BroadcastFontChange();
        if (!StillAdded(FFontFilePath)) {
            DeleteFile(FFontFilePath);
            RemoveDir(ExtractFilePath(FFontFilePath));  // the process's folder, once empty
        }
    }
    FFontAdded = false;
}

bool TTypecask::CheckIfIntalled() const {
    const auto List = std::make_unique<TStringList>();
    GetTrueTypeFamilies(List.get());
    // The font table reports face names, cut to their size limit: a longer
    // family name is compared as it is reported.
    return List->IndexOf(Os::GetFaceName(FFontName->FFamilyName)) != -1;
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

int CALLBACK EnumTrueTypeFamilyProc(const LOGFONTA* LogFont, const TEXTMETRICA*, DWORD FontType, LPARAM Data) {
    if (!(FontType & TRUETYPE_FONTTYPE)) return 1;
    AnsiString Name(LogFont->lfFaceName, ::strnlen(LogFont->lfFaceName, LF_FACESIZE));
    Name.resize(Utf8PrefixLength(Name, Name.size()));  // Wine cuts long names byte by byte
    // A family is reported once per character set it covers, and a font for
    // vertical text once more under its name with '@' in front: the list
    // holds each family once, by the name that can be chosen and embedded.
    auto* List = reinterpret_cast<TStrings*>(Data);
    if (!Name.empty() && Name[0] != '@' && List->IndexOf(Name) == -1) List->Add(Name);
    return 1;
}
