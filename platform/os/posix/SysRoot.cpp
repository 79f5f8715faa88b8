// The paths of the OS services, the sandbox root, the system directories
// and the helpers the POSIX services share.
#include "platform/os/SysRoot.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <map>
#include <optional>
#include <pwd.h>
#include <set>
#include <string_view>
#include <sys/file.h>
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

// The process's own temporary folders, by parent folder, the parents whose
// ended processes' folders are gone, and the process they belong to (a
// child made by fork has none of them yet).
struct TProcessFolders {
    pid_t Owner = 0;
    std::map<AnsiString, AnsiString> ByParent;
    std::set<AnsiString> Cleaned;
};

TProcessFolders& ProcessFolders() {
    static TProcessFolders Instance;
    return Instance;
}

// The folders this process made, each with the open descriptor that holds
// its lock (flock on the folder itself), for as long as the folder lives or
// the process does: ResetOsServices forgets the folders but keeps the
// locks, so that no cleaning ever takes a folder that a component still
// uses for an ended process's.
struct TFolderLocks {
    pid_t Owner = 0;
    std::map<AnsiString, int> ByFolder;
};

TFolderLocks& FolderLocks() {
    static TFolderLocks Instance;
    if (Instance.Owner != ::getpid()) {
        // Inherited from the parent process: its folders, not ours.
        for (const auto& [Folder, Lock] : Instance.ByFolder)
            if (Lock >= 0) ::close(Lock);
        Instance = {::getpid(), {}};
    }
    return Instance;
}

// True when the directory entry Name of the folder Parent is the file open
// as Fd (a name that was removed, or removed and made again, is not).
bool IsOpenAs(int Parent, const char* Name, int Fd) {
    struct stat Open, Named;
    return ::fstat(Fd, &Open) == 0 && ::fstatat(Parent, Name, &Named, AT_SYMLINK_NOFOLLOW) == 0 &&
           Open.st_dev == Named.st_dev && Open.st_ino == Named.st_ino;
}

// Calls Visit with the name of every entry of the folder open as Fd but "."
// and "..".
template <class F>
void ForEachEntry(int Fd, F&& Visit) {
    const int Scan = ::dup(Fd);
    DIR* Entries = Scan >= 0 ? ::fdopendir(Scan) : nullptr;
    if (!Entries) {
        if (Scan >= 0) ::close(Scan);
        return;
    }
    while (const dirent* E = ::readdir(Entries))
        if (std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0) Visit(E->d_name);
    ::closedir(Entries);
}

// "fonts-", a process id, "-" and the six letters and digits of mkdtemp.
bool IsProcessFolderName(std::string_view Name) {
    const std::string_view Prefix = "fonts-";
    if (!Name.starts_with(Prefix)) return false;
    Name.remove_prefix(Prefix.size());
    const auto Dash = Name.find('-');
    if (Dash == 0 || Dash == std::string_view::npos || Name.size() - Dash - 1 != 6) return false;
    const auto IsDigit = [](char C) { return C >= '0' && C <= '9'; };
    const auto IsAlnum = [&](char C) { return IsDigit(C) || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); };
    return std::all_of(Name.begin(), Name.begin() + Dash, IsDigit) &&
           std::all_of(Name.begin() + Dash + 1, Name.end(), IsAlnum);
}

// Removes the folder Name of Parent when no process holds its lock: its
// files first (a folder inside it, which no process makes, keeps it), then
// the folder. The folder stays locked by this process until it is gone.
void RemoveUnlockedFolder(int Parent, const char* Name) {
    const int Fd = ::openat(Parent, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Fd < 0) return;
    struct stat St;
    if (::flock(Fd, LOCK_EX | LOCK_NB) == 0 && IsOpenAs(Parent, Name, Fd) && ::fstat(Fd, &St) == 0 &&
        St.st_uid == ::geteuid()) {
        ForEachEntry(Fd, [&](const char* File) { ::unlinkat(Fd, File, 0); });
        ::unlinkat(Parent, Name, AT_REMOVEDIR);
    }
    ::close(Fd);
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

// A process's temporary folder is locked with flock on the folder itself,
// which the system drops when the process ends, however it ends; the
// process id in its name alone proves nothing, since ids are reused.
// Cleaning takes the lock without waiting, and removes only what it could
// lock. The lock comes after mkdtemp made the folder, so cleaning may lock
// and remove a folder in the moment between (it is empty then): the maker
// keeps the folder only when its lock is on the folder that still has the
// name, and makes another otherwise. No other process makes a name with
// this process's id while it runs, so a name never comes back to another
// folder. The owner removes its folder with the lock held (rmdir leaves
// the lock alone), so cleaning never sees a live folder unlocked.
AnsiString GetProcessTempFolder(const AnsiString& Parent) {
    std::lock_guard Lock(Posix::StateLock());
    auto& Folders = Posix::ProcessFolders();
    if (Folders.Owner != ::getpid()) Folders = {::getpid(), {}, {}};
    const AnsiString Base = IncludeTrailingPathDelimiter(Parent);
    AnsiString& Folder = Folders.ByParent[Base];
    auto& Locks = Posix::FolderLocks().ByFolder;
    if (const auto It = Locks.find(Folder); It != Locks.end()) {
        struct stat St;
        const AnsiString Path = Folder.substr(0, Folder.size() - 1);
        if (It->second < 0 ? ::lstat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode)
                           : Posix::IsOpenAs(AT_FDCWD, Path.c_str(), It->second))
            return Folder;
        if (It->second >= 0) ::close(It->second);  // gone
        Locks.erase(It);
    }
    Folder.clear();
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        AnsiString Made = Base + "fonts-" + std::to_string(::getpid()) + "-XXXXXX";
        // mkdtemp creates the folder exclusively, with mode 0700.
        if (!::mkdtemp(Made.data())) Posix::RaiseOSError(Made, errno);
        int Fd = ::open(Made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (Fd < 0) continue;  // removed by cleaning already
        if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
            const bool Locked = errno == EWOULDBLOCK;
            ::close(Fd);
            if (Locked) continue;  // by cleaning, which is removing it
            // A file system without locks: cleaning cannot lock the folder
            // either, so it never takes it.
            Fd = -1;
        } else if (!Posix::IsOpenAs(AT_FDCWD, Made.c_str(), Fd)) {
            ::close(Fd);  // removed by cleaning before the lock was taken
            continue;
        }
        Folder = Made + "/";
        Locks[Folder] = Fd;
        return Folder;
    }
    throw EOSError(Base + ": no folder of this process could be kept there", EAGAIN);
}

void RemoveProcessTempFolder(const AnsiString& Folder) noexcept {
    std::lock_guard Lock(Posix::StateLock());
    auto& Locks = Posix::FolderLocks().ByFolder;
    const auto It = Locks.find(IncludeTrailingPathDelimiter(Folder));
    if (It == Locks.end() || ::rmdir(It->first.c_str()) != 0) return;
    if (It->second >= 0) ::close(It->second);
    Locks.erase(It);
}

bool RemoveEndedProcessFolders(const AnsiString& Parent) noexcept {
    std::lock_guard Lock(Posix::StateLock());
    auto& Folders = Posix::ProcessFolders();
    if (Folders.Owner != ::getpid()) Folders = {::getpid(), {}, {}};
    if (!Folders.Cleaned.insert(IncludeTrailingPathDelimiter(Parent)).second) return false;
    const int Fd = ::open(Parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) return false;
    Posix::ForEachEntry(Fd, [&](const char* Name) {
        if (Posix::IsProcessFolderName(Name)) Posix::RemoveUnlockedFolder(Fd, Name);
    });
    ::close(Fd);
    return false;  // the font table is the process's own: no ended process's font is in it
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
