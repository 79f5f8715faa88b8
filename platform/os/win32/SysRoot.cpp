// Where the OS services keep their state on Windows: the system's own
// folders and registry. Tests get their sandbox from outside: every run has
// a fresh system of its own (scripts/wine-test gives each run a new Wine
// prefix, with its own registry, Windows and Fonts folders and temporary
// folder), so TYPECASK_SYSROOT only names the sandbox and moves nothing.
#include "platform/os/SysRoot.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "platform/SysUtils.h"
#include "platform/os/Files.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

std::mutex& StateLock() {
    static std::mutex Instance;
    return Instance;
}

// Parent folder -> this process's folder inside it.
std::map<AnsiString, AnsiString>& ProcessFolders() {
    static std::map<AnsiString, AnsiString> Instance;
    return Instance;
}

// The parents whose ended processes' folders are gone.
std::set<AnsiString>& CleanedParents() {
    static std::set<AnsiString> Instance;
    return Instance;
}

// The folders this process made (with the trailing delimiter), each with
// the open handle that locks it (none on a file system that cannot), for
// as long as the folder lives or the process does: ResetOsServices forgets
// the folders but keeps the locks, so that no cleaning ever takes a folder
// that a component still uses for an ended process's.
std::map<AnsiString, HANDLE>& FolderLocks() {
    static std::map<AnsiString, HANDLE> Instance;
    return Instance;
}

AnsiString WithoutTrailingDelimiter(AnsiString Path) {
    while (Path.size() > 3 && (Path.back() == '\\' || Path.back() == '/')) Path.pop_back();
    return Path;
}

bool IsFolder(const AnsiString& Path) {
    const DWORD Attributes = ::GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Calls Visit with every entry that FindFirstFileA finds for Pattern but
// "." and "..".
template <class F>
void ForEachEntry(const AnsiString& Pattern, F&& Visit) {
    WIN32_FIND_DATAA Entry;
    const HANDLE Find = ::FindFirstFileA(Pattern.c_str(), &Entry);
    if (Find == INVALID_HANDLE_VALUE) return;
    do {
        if (std::strcmp(Entry.cFileName, ".") != 0 && std::strcmp(Entry.cFileName, "..") != 0) Visit(Entry);
    } while (::FindNextFileA(Find, &Entry));
    ::FindClose(Find);
}

// Opens the folder Folder (not a reparse point) with Access, sharing
// reading and writing but not deletion: while the handle is open, nobody
// else can delete or rename the folder, nor open it with the right to (the
// open fails with ERROR_SHARING_VIOLATION). A process locks its own folder
// with FILE_LIST_DIRECTORY, so that others may still list it (Wine's
// FindFirstFileA does not share deletion); cleaning adds DELETE, which no
// other handle of the folder may then lack the sharing of.
// INVALID_HANDLE_VALUE when it cannot be opened so.
HANDLE LockFolder(const AnsiString& Folder, DWORD Access) {
    const HANDLE Handle =
        ::CreateFileA(WithoutTrailingDelimiter(Folder).c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) return Handle;
    BY_HANDLE_FILE_INFORMATION Info;
    if (::GetFileInformationByHandle(Handle, &Info) && (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Handle;
    ::CloseHandle(Handle);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// Deletes the empty folder open as Handle (with DELETE) when the handle is
// closed; false when it cannot be deleted.
bool DeleteOnClose(HANDLE Handle) {
    FILE_DISPOSITION_INFO Info{TRUE};  // its one member, renamed DeleteFileA by <windows.h>
    return ::SetFileInformationByHandle(Handle, FileDispositionInfo, &Info, sizeof Info);
}

// Calls Visit with the full path (Folder followed by the name) of every file
// of the folder open as Handle (with FILE_LIST_DIRECTORY), listed through
// the handle itself: no second open of the folder is needed.
template <class F>
void ForEachFileOf(HANDLE Handle, const AnsiString& Folder, F&& Visit) {
    const int Length = ::MultiByteToWideChar(CP_ACP, 0, Folder.c_str(), -1, nullptr, 0);
    if (Length <= 0) return;
    std::wstring WideFolder(static_cast<std::size_t>(Length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, Folder.c_str(), -1, WideFolder.data(), Length);
    WideFolder.pop_back();  // the zero
    alignas(8) unsigned char Buffer[16 * 1024];
    for (auto Class = FileFullDirectoryRestartInfo;
         ::GetFileInformationByHandleEx(Handle, Class, Buffer, sizeof Buffer); Class = FileFullDirectoryInfo) {
        for (std::size_t Offset = 0;;) {
            const auto* Entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(Buffer + Offset);
            if (!(Entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                Visit(WideFolder + std::wstring(Entry->FileName, Entry->FileNameLength / sizeof(WCHAR)));
            if (Entry->NextEntryOffset == 0) break;
            Offset += Entry->NextEntryOffset;
        }
    }
}

bool IsEmptyFolder(const AnsiString& Folder) {
    bool Empty = true;
    ForEachEntry(Folder + "*", [&](const WIN32_FIND_DATAA&) { Empty = false; });
    return Empty;
}

// "typecask-", a process id, "-" and a number, as GetProcessTempFolder
// names its folders.
bool IsProcessFolderName(std::string_view Name) {
    const std::string_view Prefix = "typecask-";
    if (!Name.starts_with(Prefix)) return false;
    Name.remove_prefix(Prefix.size());
    const auto Dash = Name.find('-');
    const auto IsDigit = [](char C) { return C >= '0' && C <= '9'; };
    return Dash != 0 && Dash != std::string_view::npos && Dash + 1 < Name.size() &&
           std::all_of(Name.begin(), Name.begin() + Dash, IsDigit) &&
           std::all_of(Name.begin() + Dash + 1, Name.end(), IsDigit);
}

}  // namespace

TSystemPaths GetSystemPaths() {
    TSystemPaths Paths;
    if (const char* Root = std::getenv("TYPECASK_SYSROOT")) Paths.SysRoot = Root;
    char Buffer[MAX_PATH + 1] = {};
    UINT Length = ::GetWindowsDirectoryA(Buffer, MAX_PATH);
    if (Length > 0 && Length < MAX_PATH) Paths.WindowsFolder = AnsiString(Buffer, Length);
    if (!Paths.WindowsFolder.empty()) Paths.UserFontsFolder = IncludeTrailingPathDelimiter(Paths.WindowsFolder) + "Fonts";
    const DWORD TempLength = ::GetTempPathA(MAX_PATH, Buffer);
    if (TempLength > 0 && TempLength < MAX_PATH) Paths.TempFolder = WithoutTrailingDelimiter(AnsiString(Buffer, TempLength));
    return Paths;  // RegistryFile stays empty: the registry is the system's
}

// GetTempPathA and GetWindowsDirectoryA are the system's: their error code
// is all there is to say.
AnsiString GetFolderErrorText() { return {}; }

void ResetOsServices() {
    std::lock_guard Lock(StateLock());
    ProcessFolders().clear();
    CleanedParents().clear();
}

bool SysRootIsolates() { return false; }

void UseSysRoot(const AnsiString& Folder) {
    ::SetEnvironmentVariableA("TYPECASK_SYSROOT", Folder.empty() ? nullptr : Folder.c_str());
    // The C runtime keeps a copy of the environment of its own.
    const AnsiString Assignment = "TYPECASK_SYSROOT=" + Folder;
    ::_putenv(Assignment.c_str());
    ResetOsServices();
}

// A process's temporary folder is locked by an open handle of the folder
// itself that shares no deletion (LockFolder), which the system closes
// when the process ends, however it ends; the process id in its name alone
// proves nothing, since ids are reused. Cleaning opens a folder with the
// right to delete it, which fails while any such lock is held, and keeps
// that handle until the folder is gone. The lock comes after
// CreateDirectoryA made the folder, so cleaning may open and remove a
// folder in the moment between (it is empty then): the maker's open fails
// then, and it makes another. No other process makes a name with this
// process's id while it runs, so a name never comes back to another
// folder. The owner ends its lock only once its folder is empty, to
// remove it (RemoveProcessTempFolder), so cleaning never finds a live
// folder with files in it unlocked.
AnsiString GetProcessTempFolder(const AnsiString& Parent) {
    std::lock_guard Lock(StateLock());
    AnsiString& Known = ProcessFolders()[Parent];
    auto& Locks = FolderLocks();
    if (const auto It = Locks.find(Known); It != Locks.end()) {
        if (IsFolder(Known)) return Known;
        if (It->second != INVALID_HANDLE_VALUE) ::CloseHandle(It->second);  // gone
        Locks.erase(It);
    }
    Known.clear();
    const AnsiString Base =
        IncludeTrailingPathDelimiter(Parent) + "typecask-" + std::to_string(::GetCurrentProcessId()) + "-";
    // CreateDirectoryA fails on any existing name, so a folder that another
    // process made, or a crashed one left behind, is never taken over.
    for (unsigned Attempt = 0; Attempt < 1000; ++Attempt) {
        const AnsiString Candidate = Base + std::to_string((::GetTickCount() + Attempt * 7919u) % 1000000u);
        if (::CreateDirectoryA(Candidate.c_str(), nullptr)) {
            const HANDLE Handle = LockFolder(Candidate, FILE_LIST_DIRECTORY);
            if (Handle == INVALID_HANDLE_VALUE) {
                const DWORD Why = ::GetLastError();
                // Opened or removed by cleaning in the meantime (a folder
                // whose deletion is pending refuses access).
                if (Why == ERROR_SHARING_VIOLATION || Why == ERROR_ACCESS_DENIED || Why == ERROR_FILE_NOT_FOUND ||
                    Why == ERROR_PATH_NOT_FOUND)
                    continue;
                // A file system that cannot open folders so: cleaning cannot
                // either, so it never takes the folder.
            }
            Known = Candidate + "\\";
            Locks[Known] = Handle;
            return Known;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    const int Code = static_cast<int>(::GetLastError());
    throw EOSError("The process's temporary folder cannot be made in " + Parent + ": " + OSErrorText(Code), Code);
}

void RemoveProcessTempFolder(const AnsiString& Folder) noexcept {
    std::lock_guard Lock(StateLock());
    auto& Locks = FolderLocks();
    const auto It = Locks.find(IncludeTrailingPathDelimiter(Folder));
    if (It == Locks.end() || !IsEmptyFolder(It->first)) return;
    // The lock lets nobody delete the folder, this process included: it
    // ends first. The folder is empty and no longer this process's, so
    // cleaning may as well remove it in between.
    if (It->second != INVALID_HANDLE_VALUE) ::CloseHandle(It->second);
    ::RemoveDirectoryA(It->first.c_str());
    Locks.erase(It);
}

bool RemoveEndedProcessFolders(const AnsiString& Parent) noexcept {
    std::lock_guard Lock(StateLock());
    if (!CleanedParents().insert(Parent).second) return false;
    const AnsiString Base = IncludeTrailingPathDelimiter(Parent);
    bool FontsRemoved = false;
    ForEachEntry(Base + "typecask-*", [&](const WIN32_FIND_DATAA& Entry) {
        if (!(Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsProcessFolderName(Entry.cFileName))
            return;
        const AnsiString Folder = Base + Entry.cFileName + "\\";
        // Held until the folder is gone: a process still making the folder
        // cannot lock it meanwhile, and makes another.
        const HANDLE Handle = LockFolder(Folder, DELETE | FILE_LIST_DIRECTORY);
        if (Handle == INVALID_HANDLE_VALUE) return;  // a running process's
        // The session's font table keeps an ended process's fonts (and their
        // files open) until the user logs off.
        ForEachFileOf(Handle, Folder, [&](const std::wstring& Path) {
            for (int Adds = 0; Adds < 64 && ::RemoveFontResourceW(Path.c_str()); ++Adds) FontsRemoved = true;
            ::DeleteFileW(Path.c_str());
        });
        DeleteOnClose(Handle);
        ::CloseHandle(Handle);
    });
    return FontsRemoved;
}

// The font table is the system's: nothing to set up, and it is current as
// soon as AddFontResourceA or RemoveFontResourceA returns.
void PrepareFontConfiguration() {}
void RefreshFontConfiguration() {}

}  // namespace Os
