// Where the OS services keep their state on Windows: the system's own
// folders and registry. Tests get their sandbox from outside: every run has
// a fresh system of its own (scripts/wine-test gives each run a new Wine
// prefix, with its own registry, Windows and Fonts folders and temporary
// folder), so TYPECASK_SYSROOT only names the sandbox and moves nothing.
#include "platform/os/SysRoot.h"

#include <cstdlib>
#include <map>
#include <mutex>

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

AnsiString WithoutTrailingDelimiter(AnsiString Path) {
    while (Path.size() > 3 && (Path.back() == '\\' || Path.back() == '/')) Path.pop_back();
    return Path;
}

bool IsFolder(const AnsiString& Path) {
    const DWORD Attributes = ::GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
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
}

bool SysRootIsolates() { return false; }

void UseSysRoot(const AnsiString& Folder) {
    ::SetEnvironmentVariableA("TYPECASK_SYSROOT", Folder.empty() ? nullptr : Folder.c_str());
    // The C runtime keeps a copy of the environment of its own.
    const AnsiString Assignment = "TYPECASK_SYSROOT=" + Folder;
    ::_putenv(Assignment.c_str());
    ResetOsServices();
}

AnsiString GetProcessTempFolder(const AnsiString& Parent) {
    std::lock_guard Lock(StateLock());
    AnsiString& Known = ProcessFolders()[Parent];
    if (!Known.empty() && IsFolder(Known)) return Known;
    const AnsiString Base =
        IncludeTrailingPathDelimiter(Parent) + "typecask-" + std::to_string(::GetCurrentProcessId()) + "-";
    // CreateDirectoryA fails on any existing name, so a folder that another
    // process made, or a crashed one left behind, is never taken over.
    for (unsigned Attempt = 0; Attempt < 1000; ++Attempt) {
        const AnsiString Candidate = Base + std::to_string((::GetTickCount() + Attempt * 7919u) % 1000000u);
        if (::CreateDirectoryA(Candidate.c_str(), nullptr)) {
            Known = Candidate + "\\";
            return Known;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    const int Code = static_cast<int>(::GetLastError());
    throw EOSError("The process's temporary folder cannot be made in " + Parent + ": " + OSErrorText(Code), Code);
}

// The font table is the system's: nothing to set up, and it is current as
// soon as AddFontResourceA or RemoveFontResourceA returns.
void PrepareFontConfiguration() {}
void RefreshFontConfiguration() {}

}  // namespace Os
