// The paths of the OS services, the sandbox root, the system directories
// and the helpers the POSIX services share.
#include "platform/os/SysRoot.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <map>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include "platform/SysUtils.h"
#include "platform/TextConv.h"
#include "platform/os/Files.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

namespace {

std::optional<TSystemPaths>& CachedPaths() {
    static std::optional<TSystemPaths> Instance;
    return Instance;
}

thread_local DWORD LastError = 0;
thread_local AnsiString FolderErrorText;

// The process's own temporary folders, by parent folder, and the process
// they belong to (a child made by fork has none of them yet).
struct TProcessFolders {
    pid_t Owner = 0;
    std::map<AnsiString, AnsiString> ByParent;
};

TProcessFolders& ProcessFolders() {
    static TProcessFolders Instance;
    return Instance;
}

AnsiString Env(const char* Name) {
    const char* Value = std::getenv(Name);
    return Value ? AnsiString(Value) : AnsiString();
}

AnsiString HomeFolder() {
    AnsiString Home = Env("HOME");
    if (!Home.empty()) return Home;
    if (const passwd* Pw = ::getpwuid(::geteuid()); Pw && Pw->pw_dir) return Pw->pw_dir;
    return "/";
}

// An XDG base folder: the variable when it holds an absolute path, the
// default under the home folder otherwise.
AnsiString XdgFolder(const char* Variable, const char* Default) {
    AnsiString Value = Env(Variable);
    if (!Value.empty() && Value[0] == '/') return Value;
    return HomeFolder() + "/" + Default;
}

AnsiString WithoutTrailingDelimiters(AnsiString Path) {
    while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
    return Path;
}

TSystemPaths ResolvePaths() {
    TSystemPaths P;
    AnsiString Root = Env("TYPECASK_SYSROOT");
    if (!Root.empty()) {
        if (Root[0] != '/') {
            // A relative root is taken from the working folder at the time of resolution.
            char Cwd[4096];
            if (::getcwd(Cwd, sizeof Cwd)) Root = AnsiString(Cwd) + "/" + Root;
        }
        Root = WithoutTrailingDelimiters(Root);
        P.SysRoot = Root;
        P.RegistryFile = Root + "/registry.db";
        P.WindowsFolder = Root + "/windows";
        P.UserFontsFolder = Root + "/fonts";
        P.TempFolder = Root + "/tmp";
        return P;
    }
    const AnsiString Config = XdgFolder("XDG_CONFIG_HOME", ".config");
    const AnsiString Data = XdgFolder("XDG_DATA_HOME", ".local/share");
    P.RegistryFile = Config + "/typecask/registry.db";
    P.WindowsFolder = Data + "/typecask/windows";
    P.UserFontsFolder = Data + "/fonts";
    AnsiString Tmp = Env("TMPDIR");
    if (Tmp.empty() || Tmp[0] != '/') Tmp = "/tmp";
    P.TempFolder = WithoutTrailingDelimiters(Tmp) + "/typecask-" + std::to_string(::geteuid());
    return P;
}

[[noreturn]] void RaiseOSError(const AnsiString& What, int Code) {
    throw EOSError(What + ": " + OSErrorText(Code), Code);
}

// Copies Text into a Win32-style buffer: the length on success, the size
// needed (with the zero) when the buffer is too small.
DWORD CopyOut(const AnsiString& Text, LPSTR Buffer, DWORD Size) {
    if (Buffer == nullptr || Size < Text.size() + 1) return static_cast<DWORD>(Text.size() + 1);
    std::memcpy(Buffer, Text.c_str(), Text.size() + 1);
    return static_cast<DWORD>(Text.size());
}

}  // namespace

std::recursive_mutex& StateLock() {
    static std::recursive_mutex Instance;
    return Instance;
}

const TSystemPaths& Paths() {
    auto& Cached = CachedPaths();
    if (!Cached) Cached = ResolvePaths();
    return *Cached;
}

bool Sandboxed() { return !Paths().SysRoot.empty(); }

void ForceFolders(const AnsiString& Folder, unsigned Mode) {
    if (Folder.empty()) return;
    std::size_t Pos = 0;
    while (Pos != AnsiString::npos) {
        Pos = Folder.find('/', Pos + 1);
        const AnsiString Part = Folder.substr(0, Pos);
        if (Part.empty() || Part == "/") continue;
        if (::mkdir(Part.c_str(), Mode) == 0) continue;
        const int Code = errno;
        struct stat St;
        if (Code == EEXIST && ::stat(Part.c_str(), &St) == 0 && S_ISDIR(St.st_mode)) continue;
        RaiseOSError(Part, Code == EEXIST ? ENOTDIR : Code);
    }
}

void EnsurePrivateFolder(const AnsiString& Folder) {
    const auto Slash = Folder.rfind('/');
    if (Slash != AnsiString::npos && Slash > 0) ForceFolders(Folder.substr(0, Slash), 0755);
    if (::mkdir(Folder.c_str(), 0700) != 0 && errno != EEXIST) RaiseOSError(Folder, errno);
    struct stat St;
    if (::lstat(Folder.c_str(), &St) != 0) RaiseOSError(Folder, errno);
    if (S_ISLNK(St.st_mode))
        throw EOSError(Folder + ": the temporary folder is a symbolic link; refusing to use it", ELOOP);
    if (!S_ISDIR(St.st_mode)) RaiseOSError(Folder, ENOTDIR);
    if (St.st_uid != ::geteuid())
        throw EOSError(Folder + ": the temporary folder belongs to another user; refusing to use it", EPERM);
    if ((St.st_mode & 077) != 0) {
        char Mode[8];
        std::snprintf(Mode, sizeof Mode, "%04o", static_cast<unsigned>(St.st_mode & 07777));
        throw EOSError(Folder + ": the temporary folder's permissions are unsafe (mode " + Mode +
                           " lets other users in; it must be 0700); refusing to use it",
                       EPERM);
    }
}

void SetError(DWORD Code) { LastError = Code; }

std::string FoldCase(const std::string& Text) {
    // The C.UTF-8 locale knows the Unicode case mappings; without it only
    // ASCII letters are folded.
    static const locale_t Utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string Out;
    Out.reserve(Text.size());
    std::size_t I = 0;
    const std::size_t N = Text.size();
    while (I < N) {
        const auto C = static_cast<unsigned char>(Text[I]);
        if (C < 0x80) {
            Out += (C >= 'a' && C <= 'z') ? static_cast<char>(C - 0x20) : static_cast<char>(C);
            ++I;
            continue;
        }
        // Decode one UTF-8 sequence; anything malformed is kept byte for byte.
        std::size_t Next = I;
        bool Malformed = false;
        const char32_t Cp = DecodeUtf8(Text, Next, &Malformed);
        if (Malformed || Utf8 == static_cast<locale_t>(nullptr)) {
            Out.append(Text, I, Next - I);
        } else {
            AppendUtf8(Out, static_cast<char32_t>(::towupper_l(static_cast<wint_t>(Cp), Utf8)));
        }
        I = Next;
    }
    return Out;
}

}  // namespace Os::Posix

namespace Os {

AnsiString GetFolderErrorText() { return Posix::FolderErrorText; }

TSystemPaths GetSystemPaths() {
    std::lock_guard Lock(Posix::StateLock());
    return Posix::Paths();
}

void ResetOsServices() {
    std::lock_guard Lock(Posix::StateLock());
    Posix::ResetRegistry();
    Posix::ResetFonts();
    Posix::CachedPaths().reset();
    Posix::ProcessFolders() = {};
}

AnsiString GetProcessTempFolder(const AnsiString& Parent) {
    std::lock_guard Lock(Posix::StateLock());
    auto& Folders = Posix::ProcessFolders();
    if (Folders.Owner != ::getpid()) Folders = {::getpid(), {}};
    const AnsiString Base = IncludeTrailingPathDelimiter(Parent);
    AnsiString& Folder = Folders.ByParent[Base];
    struct stat St;
    if (!Folder.empty() && ::lstat(Folder.c_str(), &St) == 0 && S_ISDIR(St.st_mode) && St.st_uid == ::geteuid())
        return Folder + "/";
    AnsiString Template = Base + "fonts-" + std::to_string(::getpid()) + "-XXXXXX";
    // mkdtemp creates the folder exclusively, with mode 0700.
    if (!::mkdtemp(Template.data())) {
        const int Code = errno;
        Folder.clear();
        Posix::RaiseOSError(Template, Code);
    }
    Folder = Template;
    return Folder + "/";
}

bool SysRootIsolates() { return true; }

void UseSysRoot(const AnsiString& Folder) {
    if (Folder.empty())
        ::unsetenv("TYPECASK_SYSROOT");
    else if (::setenv("TYPECASK_SYSROOT", Folder.c_str(), 1) != 0)
        throw EOSError("Cannot set TYPECASK_SYSROOT: " + OSErrorText(errno), errno);
    ResetOsServices();
}

}  // namespace Os

DWORD GetLastError() { return Os::Posix::LastError; }

void SetLastError(DWORD ErrorCode) { Os::Posix::LastError = ErrorCode; }

DWORD GetTempPathA(DWORD BufferLength, LPSTR Buffer) {
    std::lock_guard Lock(Os::Posix::StateLock());
    try {
        const AnsiString Folder = Os::Posix::Paths().TempFolder;
        Os::Posix::EnsurePrivateFolder(Folder);
        Os::Posix::FolderErrorText.clear();
        return Os::Posix::CopyOut(Folder + "/", Buffer, BufferLength);
    } catch (const EOSError& E) {
        Os::Posix::FolderErrorText = E.GetMessage();
        SetLastError(static_cast<DWORD>(E.GetErrorCode() == EPERM || E.GetErrorCode() == ELOOP ? ERROR_ACCESS_DENIED
                                                                                                : ERROR_BAD_PATHNAME));
        if (Buffer && BufferLength > 0) Buffer[0] = '\0';
        return 0;
    }
}

UINT GetWindowsDirectoryA(LPSTR Buffer, UINT Size) {
    std::lock_guard Lock(Os::Posix::StateLock());
    try {
        const AnsiString Folder = Os::Posix::Paths().WindowsFolder;
        Os::Posix::ForceFolders(Folder + "/Fonts", 0755);
        Os::Posix::FolderErrorText.clear();
        return Os::Posix::CopyOut(Folder, Buffer, Size);
    } catch (const EOSError& E) {
        Os::Posix::FolderErrorText = E.GetMessage();
        SetLastError(static_cast<DWORD>(ERROR_BAD_PATHNAME));
        if (Buffer && Size > 0) Buffer[0] = '\0';
        return 0;
    }
}
