// What the POSIX services share among themselves: the lock, the resolved
// paths, folder creation and the hooks that ResetOsServices runs. Included
// only by platform/os/posix.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/os/SysRoot.h"
#include "platform/os/WinTypes.h"

namespace Os::Posix {

// One lock for all OS-service state. It is never held while a caller's
// callback runs (enumeration procedures, message listeners).
std::recursive_mutex& StateLock();

// The paths in use (resolved on first call after a reset). The caller holds
// StateLock.
const TSystemPaths& Paths();
bool Sandboxed();

// Creates Folder and its missing parents with Mode. Raises EOSError when a
// part exists and is no folder or cannot be created.
void ForceFolders(const AnsiString& Folder, unsigned Mode);

// Makes sure Folder is a private folder of the effective user: created with
// mode 0700 when missing; refused (EOSError) when it is a symbolic link, no
// folder, owned by someone else, or open to group or others.
void EnsurePrivateFolder(const AnsiString& Folder);

// Reset hooks of the services, called by ResetOsServices under StateLock.
void ResetRegistry();
void ResetFonts();

// Per-thread last error, as Win32's SetLastError.
void SetError(DWORD Code);

// ASCII- and Unicode-aware upper-casing of UTF-8 text, for comparisons that
// ignore letter case as the registry and the font table do.
std::string FoldCase(const std::string& Text);

// Brings the font configuration up to date when font folders changed since
// it was built (new or removed files), keeping the application fonts.
void SyncFontConfiguration();

// One installed TrueType font file as the registry's Fonts key shows it.
struct TInstalledFontFile {
    std::string FileName;
    std::string FullName;  // faces of a collection joined with " & "
};
// The full name of face Index of a font file as Windows names the font
// (name record 4: US English on the Windows platform first); empty when the
// face has none that can be read.
std::string GetFaceFullName(const std::string& FileName, int Index);

// The TrueType font files of the current configuration's installed fonts
// (not the application fonts), in file-name order.
std::vector<TInstalledFontFile> InstalledTrueTypeFiles();

}  // namespace Os::Posix
