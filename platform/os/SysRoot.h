// Where the operating-system services keep their state, and the sandbox
// that tests and demos run in.
//
// With the environment variable TYPECASK_SYSROOT set to a folder R, every
// service works inside R and nowhere else:
//   R/registry.db      the registry store
//   R/windows          the Windows directory (with R/windows/Fonts)
//   R/fonts            the user font folder (the "Fonts" shell folder)
//   R/tmp              the temporary directory (mode 0700)
//   R/fontconfig       the private fontconfig configuration and its cache;
//                      it knows only R/fonts and R/windows/Fonts
// Missing folders are created on first use. The process's current fontconfig
// configuration is switched to the private one, so that cairo and the like
// see exactly the sandbox's fonts.
//
// Without it, the real user environment is used:
//   $XDG_CONFIG_HOME/typecask/registry.db   (~/.config/typecask/registry.db)
//   $XDG_DATA_HOME/typecask/windows         (~/.local/share/typecask/windows)
//   $XDG_DATA_HOME/fonts                    (~/.local/share/fonts)
//   ${TMPDIR:-/tmp}/typecask-UID
//   the user's normal fontconfig configuration.
#pragma once

#include "platform/System.h"

namespace Os {

struct TSystemPaths {
    AnsiString SysRoot;          // empty when the real environment is used
    AnsiString RegistryFile;
    AnsiString WindowsFolder;
    AnsiString UserFontsFolder;  // the folder that fontconfig scans for the user's fonts
    AnsiString TempFolder;       // without a trailing delimiter
};

// The paths in use, read from the environment at first use or after the last
// ResetOsServices. Does not create anything.
TSystemPaths GetSystemPaths();

// Why the last GetTempPathA or GetWindowsDirectoryA of this thread failed,
// naming the folder and the cause (such as permissions that let other users
// in); empty when it succeeded. The Win32 error code alone says neither.
AnsiString GetFolderErrorText();

// Forgets the state of every OS service: closes the registry store, drops
// the application fonts and the private font configuration, and reads
// TYPECASK_SYSROOT (and the XDG variables) again on the next use. Tests call
// it after changing the environment to switch sandboxes within one process.
// Registry handles opened before become invalid (RegCloseKey still frees
// them); device contexts and broadcast listeners stay.
void ResetOsServices();

// Points TYPECASK_SYSROOT at Folder (an empty Folder removes it, so that the
// real user environment is used) and resets the OS services, so that every
// service works in the new place from now on.
void UseSysRoot(const AnsiString& Folder);

// True where a system root moves the services' state (registry, fonts
// folder, font table, temporary folder) away from the user's own; false on
// Windows, whose registry and font table belong to the whole system.
bool SysRootIsolates();

// This process's own folder inside the temporary directory Parent, ending
// with the path delimiter. It is made on first use, and again when it has
// gone, under a name no other process gets (the process id and a unique
// suffix, created exclusively with mode 0700): two processes never share a
// file there, nor remove one the other still uses; a folder that a crashed
// process left behind is never taken over. The folder is locked for as long
// as this process holds it, by a lock that the system drops when the
// process ends, however it ends (on POSIX flock on the folder itself, on
// Windows an open handle of it that lets nobody delete or rename it), so
// that RemoveEndedProcessFolders tells it from an ended process's. Raises
// EOSError when it cannot be made.
AnsiString GetProcessTempFolder(const AnsiString& Parent);

// Removes Folder, a folder that GetProcessTempFolder gave this process, when
// it is empty, and ends its lock; the next GetProcessTempFolder makes a new
// one. Does nothing to a folder that holds anything or that is not one of
// this process's.
void RemoveProcessTempFolder(const AnsiString& Folder) noexcept;

// Removes what processes that have ended left in the temporary directory
// Parent: every folder that GetProcessTempFolder made there whose lock no
// process holds (a process that crashed or was killed leaves its folder
// and font files behind), with its files; on Windows each file first
// leaves the session's font table. Only the first call of a process for
// Parent does so (again after ResetOsServices). A running process's folder,
// even one it is still making, is never touched; nothing but folders named
// as GetProcessTempFolder names them is, and no symbolic link is followed.
// True when a font left the font table: the caller then tells the windows.
// Never raises; what cannot be removed stays for a later process.
bool RemoveEndedProcessFolders(const AnsiString& Parent) noexcept;

// Sets up the font configuration now (it is otherwise set up on the first
// call of a font service), so that other font users of the process see the
// same fonts as the OS services.
void PrepareFontConfiguration();

// Brings the font configuration up to date with the font folders (files
// added or removed since it was built), as a WM_FONTCHANGE broadcast does,
// without sending any message. Sets the configuration up when it is not yet.
void RefreshFontConfiguration();

}  // namespace Os
