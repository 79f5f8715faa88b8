// Modules and their resources: the module list, module file names, dynamic
// loading, resources (string tables, bitmaps, raw data), the version
// functions and the bitmap objects that LoadImageA hands out.
//
// A module's handle (HINSTANCE, HMODULE) is the address at which the module
// is mapped, as on Windows; nullptr stands for the main program where Win32
// allows it. On Linux a module's resources are a compiled .res image carried
// in the ELF section ".rsrc" (see resources/CMakeLists.txt); a plain .res
// file is read as well wherever a file name is taken.
//
// The Win32 functions keep the Win32 spelling and conventions (a result of 0
// or nullptr on failure, the reason in GetLastError). The helpers in namespace
// Os raise exceptions, as the rest of the class library does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/SysUtils.h"
#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

using HANDLE = void*;
using HGLOBAL = void*;
using HGDIOBJ = void*;
struct HRSRC__;
struct HBITMAP__;
using HRSRC = HRSRC__*;
using HBITMAP = HBITMAP__*;
using PUINT = UINT*;

// ------------------------------------------------------ resource names
// A resource type or name is either a text or an ordinal below 0x10000 in
// the pointer's place; "#123" names ordinal 123 as well.
inline LPCSTR MAKEINTRESOURCEA(WORD Id) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(Id)); }
inline bool IS_INTRESOURCE(LPCSTR Name) { return (reinterpret_cast<ULONG_PTR>(Name) >> 16) == 0; }

inline const LPCSTR RT_CURSOR = MAKEINTRESOURCEA(1);
inline const LPCSTR RT_BITMAP = MAKEINTRESOURCEA(2);
inline const LPCSTR RT_ICON = MAKEINTRESOURCEA(3);
inline const LPCSTR RT_MENU = MAKEINTRESOURCEA(4);
inline const LPCSTR RT_DIALOG = MAKEINTRESOURCEA(5);
inline const LPCSTR RT_STRING = MAKEINTRESOURCEA(6);
inline const LPCSTR RT_RCDATA = MAKEINTRESOURCEA(10);
inline const LPCSTR RT_GROUP_CURSOR = MAKEINTRESOURCEA(12);
inline const LPCSTR RT_GROUP_ICON = MAKEINTRESOURCEA(14);
inline const LPCSTR RT_VERSION = MAKEINTRESOURCEA(16);
inline const LPCSTR RT_MANIFEST = MAKEINTRESOURCEA(24);

// Error codes of the functions below (as the calling thread's last error).
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_MOD_NOT_FOUND = 126;
inline constexpr LONG ERROR_PROC_NOT_FOUND = 127;
inline constexpr LONG ERROR_BAD_EXE_FORMAT = 193;
inline constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
inline constexpr LONG ERROR_RESOURCE_LANG_NOT_FOUND = 1815;

// ------------------------------------------------------------- modules

inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x1;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

// The full path of a loaded module's file (nullptr: the main program), into
// Buffer of Size characters. Returns the length copied without the
// terminating zero; a path that does not fit is cut to Size - 1 characters,
// and the result is then Size (last error ERROR_INSUFFICIENT_BUFFER). 0 when
// Module is no loaded module.
DWORD GetModuleFileNameA(HMODULE Module, LPSTR Buffer, DWORD Size);
// The handle of a loaded module named by its file name or full path; nullptr
// gives the main program's handle. A shared library's file name without its
// version names it too ("libTypecaskLib.so" for "libTypecaskLib.so.1"), and
// so does a path to any symbolic link to its file.
HMODULE GetModuleHandleA(LPCSTR ModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, the module that contains the
// address ModuleName; otherwise as GetModuleHandleA. No reference is ever
// taken (the flags UNCHANGED_REFCOUNT and PIN change nothing).
BOOL GetModuleHandleExA(DWORD Flags, LPCSTR ModuleName, HMODULE* Module);
// Loads a shared library (dlopen) and adds it to the module list, so that its
// resources can be read; each call counts.
HMODULE LoadLibraryA(LPCSTR FileName);
// Balances one LoadLibraryA; the last one unloads the library and removes it
// from the module list.
BOOL FreeLibrary(HMODULE Module);
// The address of an exported function or variable of a loaded module.
void* GetProcAddress(HMODULE Module, LPCSTR ProcName);

// ----------------------------------------------------------- resources
// A resource of a module: found with FindResourceA or FindResourceExA (type
// and name as texts or ordinals; texts compare without regard to case), its
// data from LoadResource and LockResource. The data stays valid while the
// module is loaded and registered. FindResourceA takes the U.S. English or
// language-neutral entry when there is one, else the first.
HRSRC FindResourceA(HMODULE Module, LPCSTR Name, LPCSTR Type);
HRSRC FindResourceExA(HMODULE Module, LPCSTR Type, LPCSTR Name, WORD Language);
HGLOBAL LoadResource(HMODULE Module, HRSRC ResInfo);
LPVOID LockResource(HGLOBAL ResData);
DWORD SizeofResource(HMODULE Module, HRSRC ResInfo);

// The string Id of a module's string table, as UTF-8, into Buffer of
// BufferMax bytes (cut at a character boundary to fit, always zero-
// terminated). Returns the number of bytes copied without the terminating
// zero: 0 for a missing or empty string.
int LoadStringA(HINSTANCE Instance, UINT Id, LPSTR Buffer, int BufferMax);

// ---------------------------------------------------- bitmap objects
inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

// Loads a device-independent bitmap (uncompressed, 1, 4, 8, 16, 24 or 32 bits
// per pixel, with or without a palette) from a module's bitmap resource Name,
// or with LR_LOADFROMFILE from the .bmp file Name. Width and height 0 keep the
// bitmap's own size (with or without LR_DEFAULTSIZE); other values scale it
// to that size. Only IMAGE_BITMAP is supported. The result is an HBITMAP
// (32 bits per pixel), released with DeleteObject; nullptr on failure.
HANDLE LoadImageA(HINSTANCE Instance, LPCSTR Name, UINT Type, int Width, int Height, UINT Flags);
HBITMAP LoadBitmapA(HINSTANCE Instance, LPCSTR BitmapName);
// Frees a bitmap of LoadImageA; FALSE for anything else.
BOOL DeleteObject(HGDIOBJ Object);
// Fills a BITMAP for a bitmap object: 32 bits per pixel, rows top-down,
// bmWidthBytes = 4 * width, bmBits pointing at the pixels, which stay valid
// until DeleteObject. Each pixel is one 32-bit value 0xAARRGGBB in native
// byte order (bytes B, G, R, A on little-endian machines; alpha always 0xFF),
// the layout of cairo's CAIRO_FORMAT_ARGB32. Returns the bytes written.
int GetObjectA(HGDIOBJ Object, int BufferSize, LPVOID Buffer);
// Copies up to Count bytes of a bitmap's pixels (the layout above) into Bits;
// returns the number copied.
LONG GetBitmapBits(HBITMAP Bitmap, LONG Count, LPVOID Bits);

// ------------------------------------------------- version information
inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
inline constexpr DWORD VS_FF_DEBUG = 0x01;
inline constexpr DWORD VS_FF_PRERELEASE = 0x02;
inline constexpr DWORD VS_FF_PATCHED = 0x04;
inline constexpr DWORD VS_FF_PRIVATEBUILD = 0x08;
inline constexpr DWORD VS_FF_INFOINFERRED = 0x10;
inline constexpr DWORD VS_FF_SPECIALBUILD = 0x20;
inline constexpr DWORD VFT_UNKNOWN = 0;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;
inline constexpr DWORD VFT_DRV = 3;
inline constexpr DWORD VFT_FONT = 4;
inline constexpr DWORD VFT_VXD = 5;
inline constexpr DWORD VFT_STATIC_LIB = 7;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// The size of the block that GetFileVersionInfoA fills for FileName (an ELF
// module or a .res file); 0 when the file has no readable version resource.
// *Handle is set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR FileName, LPDWORD Handle);
// Fills Data (Size bytes, as GetFileVersionInfoSizeA gave) with the version
// resource of FileName followed by an 8-bit (UTF-8) copy of its texts, which
// VerQueryValueA points into. FALSE, with nothing written, when the file has
// no version resource or the block does not fit into Size bytes.
BOOL GetFileVersionInfoA(LPCSTR FileName, DWORD Handle, DWORD Size, LPVOID Data);
// A value of a block of GetFileVersionInfoA. SubBlock "\" gives the
// VS_FIXEDFILEINFO (Length: its size); "\VarFileInfo\Translation" the
// translation array (Length: bytes); "\StringFileInfo\<block>\<key>" a zero-
// terminated UTF-8 text (Length: bytes including the zero, 0 for an empty
// value). Keys compare without regard to case. FALSE when there is no such
// value.
BOOL VerQueryValueA(LPCVOID Block, LPCSTR SubBlock, LPVOID* Buffer, PUINT Length);

#endif  // _WIN32

class TFileStream;

namespace Os {

// Malformed resource data or a file that holds none in a known format.
class EResourceError : public Exception {
public:
    using Exception::Exception;
};

// A resource type or name: an ordinal (Id, Name empty) or a text.
struct TResourceId {
    WORD Id = 0;
    AnsiString Name;

    bool IsOrdinal() const { return Name.empty(); }
    // "#6" for an ordinal, the text otherwise.
    AnsiString ToString() const;
    // Whether this id is the one a Win32 caller passes (ordinal, "#n" or text
    // in any letter case).
    bool Matches(LPCSTR Value) const;
    bool operator==(const TResourceId&) const = default;
};

struct TResourceEntry {
    TResourceId Type;
    TResourceId Name;
    WORD Language = 0;
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
};

// The resources of a module or a .res file: the parsed entries of a .res
// image, over bytes it owns or over memory that outlives it.
class TResourceImage {
public:
    // Parses a .res image. The bytes are copied unless Borrow is set, in which
    // case Data must stay valid as long as the image. Raises EResourceError
    // for malformed data.
    TResourceImage(const void* Data, std::size_t Size, bool Borrow = false);
    // Entries read from another carrier (a PE module's resource tree), whose
    // Data point into Bytes; the image keeps the bytes (a moved vector keeps
    // its buffer).
    TResourceImage(std::vector<std::uint8_t> Bytes, std::vector<TResourceEntry> Entries);
    TResourceImage(const TResourceImage&) = delete;
    TResourceImage& operator=(const TResourceImage&) = delete;

    // The resources of a file, read from its bytes without loading it: a
    // Windows module's resource tree (PE32 or PE32+, program or DLL; on every
    // system), an ELF module's ".rsrc" section (on Linux), each without
    // entries when the module carries no resources, or a .res file. Raises
    // EFOpenError when the file cannot be opened and EResourceError when it
    // is none of these, or its resource data is malformed.
    static std::shared_ptr<const TResourceImage> FromFile(const AnsiString& FileName);

    const std::vector<TResourceEntry>& GetEntries() const { return FEntries; }
    // The entry of that type and name (Win32 spelling, see FindResourceA):
    // with a language, exactly that one; without, the U.S. English or
    // language-neutral one, else the first.
    const TResourceEntry* Find(LPCSTR Type, LPCSTR Name, std::optional<WORD> Language = std::nullopt) const;
    // Whether Entry is one of this image's entries.
    bool Owns(const TResourceEntry* Entry) const;

private:
    std::vector<std::uint8_t> FBytes;
    std::vector<TResourceEntry> FEntries;
};

// The resources of File when it is a .res file (read from its start);
// nullptr when it is none. Raises EResourceError when its data is malformed.
std::shared_ptr<const TResourceImage> ReadResFile(TFileStream& File);
// The resources of File when it is a Windows module (it starts with "MZ"),
// read from its headers, section table and resource tree; nullptr when it is
// none. Raises EResourceError, naming the file and the offset of the fault,
// when a header, the section table or the resource tree is damaged.
std::shared_ptr<const TResourceImage> ReadPeFile(TFileStream& File);

// Text of a module's string table (UTF-8), or nullopt when the module has no
// such string or it is empty.
std::optional<AnsiString> LoadResString(HINSTANCE Instance, UINT Id);
// Every string of a resource image's string tables, by id.
std::vector<std::pair<UINT, AnsiString>> ListResStrings(const TResourceImage& Image);

// The module list. A registered module's resources can be read through its
// handle with the functions above. Registrations count; the module leaves the
// list with the UnregisterModule that balances its first RegisterModule.
// Resources, when given, is the module's .res image in memory (it must stay
// valid while the module is registered); otherwise the resources are read
// from the module's file when first asked for.
void RegisterModule(HINSTANCE Instance, const void* Resources = nullptr, std::size_t ResourcesSize = 0);
void UnregisterModule(HINSTANCE Instance);
// The registered modules, in the order of their registration.
std::vector<HINSTANCE> EnumModules();
// The resources of a registered module or (nullptr or its handle) the main
// program; nullptr for any other handle or a module without resources.
std::shared_ptr<const TResourceImage> GetModuleResources(HINSTANCE Instance);

// The handle of the module that contains Address (nullptr when none does).
HINSTANCE FindHInstance(const void* Address);

// LoadLibraryA that raises EOSError with the dynamic loader's reason.
HMODULE LoadModule(const AnsiString& FileName);

// One text of a version block's StringFileInfo (a block of
// GetFileVersionInfoA): the string table's name ("040904E4"), key and value.
struct TVersionString {
    AnsiString Table;
    AnsiString Key;
    AnsiString Value;
};
std::vector<TVersionString> ListVersionStrings(LPCVOID Block);

}  // namespace Os
