// Installing the component's font on this machine and removing it again.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

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

// The length of Name without a character that the font table's size limit
// cut in two: the system cuts long face names byte by byte.
std::size_t WholeCharactersLength(const AnsiString& Name) {
    std::size_t Start = Name.size();
    while (Start > 0 && (static_cast<unsigned char>(Name[Start - 1]) & 0xC0) == 0x80) --Start;
    if (Start == 0) return Name.size();
    const auto Lead = static_cast<unsigned char>(Name[Start - 1]);
    const std::size_t Needed = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
    return Name.size() - (Start - 1) < Needed ? Start - 1 : Name.size();
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
    const AnsiString Folder = Permanent ? GetFontsFolder() : Os::GetProcessTempFolder(TemporaryFolder());
    FFontFilePath = Folder + Family + FontFileExt;

    // Programs map font files, and a file of this name may be someone's own
    // font: the bytes go to a new file beside the target, which takes the
    // target's name only when nothing has it. A file that is there already
    // is never touched: it is used when it holds exactly these bytes and
    // refused otherwise.
    bool Written = false;
    try {
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
        if (!Permanent) RemoveDir(Folder);
        throw;
    }
    if (!Permanent) ++ComponentAdds()[FFontFilePath];
    BroadcastFontChange();
    FFontAdded = true;

    if (Permanent) {
        TRegIniFile Registry("");
        Registry.SetRootKey(HKEY_LOCAL_MACHINE);
        Registry.WriteString(GetFontsKey(), Family + TrueTypeSuffix, FFontFilePath);
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
    Name.resize(WholeCharactersLength(Name));
    // A family is reported once per character set it covers, and a font for
    // vertical text once more under its name with '@' in front: the list
    // holds each family once, by the name that can be chosen and embedded.
    auto* List = reinterpret_cast<TStrings*>(Data);
    if (!Name.empty() && Name[0] != '@' && List->IndexOf(Name) == -1) List->Add(Name);
    return 1;
}
