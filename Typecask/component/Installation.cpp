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

// How long the font-change broadcast waits for each top-level window of
// another program, in milliseconds. A window whose program has not read
// its messages for 5 seconds counts as hung to the system and is skipped
// at once (SMTO_ABORTIFHUNG); one that has just stopped, or is merely
// slow, holds the application up by at most this much. A window that is
// well handles the news in a few milliseconds, so a second spares slow
// ones without letting a frozen one stop the application. The
// application's own windows are called directly, before the broadcast
// returns, whatever the timeout.
constexpr UINT FontChangeTimeout = 1000;

// Tells every top-level window that the fonts changed. A window that fails
// to handle the news, or does not answer in time, changes nothing in the
// font table, so its error is not the installation's (nor the removal's):
// the font stays recorded as added and is removed again in due course.
void BroadcastFontChange() noexcept {
    try {
        SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, FontChangeTimeout,
                            nullptr);
    } catch (...) {
    }
}

// Removes what ended runs left in the temporary directory (a run that
// crashed or was killed never removes its font), before the font table is
// asked: this process must neither take one of their fonts for installed
// nor lose it when a later cleaning removes it. Cleaning never fails the
// installation; a temporary directory that cannot be obtained is reported
// by the installation, when it needs the directory.
void RemoveEndedRuns() noexcept {
    try {
        if (Os::RemoveEndedProcessFolders(TemporaryFolder())) BroadcastFontChange();
    } catch (...) {  // what cannot be cleaned now is left for a later run
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

// Raised by an installation for good that the system refuses for want of
// rights: its file could not be written into the folder, or its value under
// the key. Cause is that failure. What the installation did is taken back.
struct TRefused {
    std::exception_ptr Cause;
};

AnsiString InstallationFolder(TInstallationKind Kind) {
    switch (Kind) {
        case ikMachineWide:
            return GetFontsFolder();
        case ikPerUser:
            return Os::GetUserFontsFolder();
        default:
            // A folder of this process's own, so that another running copy
            // of the application never deletes the file.
            return Os::GetProcessTempFolder(TemporaryFolder());
    }
}

}  // namespace

bool TTypecask::IsPermanentInstallation() const { return ChooseInstallationKind(InstallationCase()) == ikMachineWide; }

TInstallationCase TTypecask::InstallationCase() const {
    return {.Permanent = !ComponentState().Contains(csDesigning) && FPermanent,
            .Licence = FEmbedding.Permission,
            .Refused = ikNone,
            .UserFonts = Os::GetUserFonts(),
            .Subset = FSubset.IsSubset};
}

TInstallationKind ChooseInstallationKind(const TInstallationCase& Case) {
    switch (Case.Refused) {
        case ikNone:
            // A licence other than Installable lets the font be used only
            // while the application uses it: such a font is installed for
            // the run, and removed again when the component goes; so is a
            // subset.
            return Case.Permanent && Case.Licence == Os::TEmbeddingPermission::Installable && !Case.Subset
                       ? ikMachineWide
                       : ikTemporary;
        case ikMachineWide:
            // A standard user: for the user alone where the system has
            // fonts of a user's own, for the run where it has none. Where
            // the machine's installation is the user's own, nothing is left.
            switch (Case.UserFonts) {
                case Os::TUserFonts::PerUser:
                    return ikPerUser;
                case Os::TUserFonts::MachineOnly:
                    return ikTemporary;
                case Os::TUserFonts::SameAsMachine:
                    return ikNone;
            }
            return ikNone;
        default:
            return ikNone;
    }
}

void TTypecask::AddFontResourceA() {
    if (!FFontData) return;
    const AnsiString& Family = FFontName->FFamilyName;
    if (!IsPermanentInstallation() && IsSafeFontFileName(Family)) RemoveEndedRuns();
    if (CheckIfIntalled()) return;
    if (!IsSafeFontFileName(Family)) throw ETypecask(msgFontNotInstalled);

    TInstallationCase Case = InstallationCase();
    TInstallationKind Kind = ChooseInstallationKind(Case);
    for (;;) {
        try {
            Install(Kind);
            return;
        } catch (const TRefused& Refusal) {
            Case.Refused = Kind;
            const TInstallationKind Next = ChooseInstallationKind(Case);
            if (Next == ikNone) {
                try {
                    std::rethrow_exception(Refusal.Cause);
                } catch (...) {
                    RethrowAsNotInstalled();
                }
            }
            Kind = Next;
        } catch (...) {
            if (Kind != ikTemporary) RethrowAsNotInstalled();
            throw;
        }
    }
}

void TTypecask::Install(TInstallationKind Kind) {
    const AnsiString& Family = FFontName->FFamilyName;
    const bool Temporary = Kind == ikTemporary;
    AnsiString Folder;

    // Programs map font files, and a file of this name may be someone's own
    // font: the bytes go to a new file beside the target, which takes the
    // target's name only when nothing has it. A file that is there already
    // is never touched: it is used when it holds exactly these bytes and
    // refused otherwise.
    bool Written = false;
    try {
        try {
            Folder = InstallationFolder(Kind);
            FFontFilePath = Folder + Family + FontFileExt;
            TAtomicFileStream File(FFontFilePath);
            File.CopyFrom(FFontData.get(), 0);
            Written = File.CommitIfAbsent();
        } catch (...) {
            if (!Temporary) throw TRefused{std::current_exception()};
            throw;
        }
        if (!Written && !HoldsBytes(FFontFilePath, *FFontData)) throw ETypecask(msgFontNotInstalled);
        if (::AddFontResourceA(FFontFilePath.c_str()) == 0) throw ETypecask(msgFontNotInstalled);
    } catch (...) {
        // A failed installation leaves no file of its own behind.
        if (Written) DeleteFile(FFontFilePath);
        if (Temporary && !Folder.empty()) Os::RemoveProcessTempFolder(Folder);
        throw;
    }
    if (Temporary) ++ComponentAdds()[FFontFilePath];
    BroadcastFontChange();
    FFontAdded = true;
    FInstallationKind = Kind;
    if (Temporary) return;

    try {
        TRegIniFile Registry("");
        Registry.SetRootKey(Kind == ikPerUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
        Registry.WriteString(GetFontsKey(), Family + TrueTypeSuffix, FFontFilePath);
    } catch (...) {
        // Unregistered, the font would be gone at the next start while
        // its file stayed: what was done is taken back.
        ::RemoveFontResourceA(FFontFilePath.c_str());
        BroadcastFontChange();
        if (Written) DeleteFile(FFontFilePath);
        FFontAdded = false;
        FInstallationKind = ikNone;
        throw TRefused{std::current_exception()};
    }
}

void TTypecask::RemoveFontResourceA() {
    if (!FFontAdded) return;
    // A permanent installation stays: file, registry value and font table
    // entry. The registry is not touched for a temporary one either: a value
    // under this family's name belongs to some other installation.
    if (FInstallationKind == ikTemporary) {
        ::RemoveFontResourceA(FFontFilePath.c_str());
        if (const auto It = ComponentAdds().find(FFontFilePath); It != ComponentAdds().end() && --It->second <= 0)
            ComponentAdds().erase(It);
        BroadcastFontChange();
        if (!StillAdded(FFontFilePath)) {
            DeleteFile(FFontFilePath);
            Os::RemoveProcessTempFolder(ExtractFilePath(FFontFilePath));  // once empty
        }
    }
    FFontAdded = false;
    FInstallationKind = ikNone;
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
