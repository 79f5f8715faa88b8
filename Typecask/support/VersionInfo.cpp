#include "Typecask/support/VersionInfo.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "TypecaskLib/Package.h"
#include "platform/os/WinResources.h"

TYPECASK_IMPLEMENT_CLASS(TVersionInfo)

void TVersionInfo::Publish(TPublisher<TVersionInfo>& P) {
    static constexpr const char* Names[VersionFieldCount] = {
        "CompanyName",      "FileDescription", "FileVersion",    "InternalName", "LegalCopyright", "LegalTrademarks",
        "Author",           "OriginalFilename", "ProductName",   "ProductVersion", "Comments",     "BuildFlags",
    };
    for (int I = 0; I < VersionFieldCount; ++I)
        P.IndexedProperty(Names[I], I, &TVersionInfo::GetVersionField, &TVersionInfo::SetVersionField).Stored(false);
}

namespace {

// The keys of the string block, by ordinal (vfBuildFlags has none).
constexpr const char* VersionKeys[TVersionInfo::vfBuildFlags] = {
    "CompanyName", "FileDescription", "FileVersion",  "InternalName",   "LegalCopyright", "LegalTrademarks",
    "Author",      "OriginalFilename", "ProductName", "ProductVersion", "Comments",
};

// The path of the package's own module file. A path longer than the usual
// 260 characters is read in full rather than cut, which would name another
// file.
AnsiString PackageFileName() {
    std::vector<char> Buffer(MAX_PATH);
    for (;;) {
        const DWORD Length = GetModuleFileNameA(GetPackageInstance(), Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (Length == 0) return {};
        if (Length < Buffer.size()) return AnsiString(Buffer.data(), Length);
        Buffer.resize(Buffer.size() * 2);
    }
}

}  // namespace

TVersionInfo::TVersionInfo() { ReadVersionInfo(PackageFileName()); }

TVersionInfo::TVersionInfo(const AnsiString& FileName) { ReadVersionInfo(FileName); }

TVersionInfo::~TVersionInfo() = default;

void TVersionInfo::ReadVersionInfo(const AnsiString& FileName) {
    if (FileName.empty()) return;
    DWORD Handle = 0;
    const DWORD Size = GetFileVersionInfoSizeA(FileName.c_str(), &Handle);
    if (Size == 0) return;
    FVersionData.reset(new (std::nothrow) std::uint8_t[Size]);
    if (!FVersionData) return;
    if (!GetFileVersionInfoA(FileName.c_str(), Handle, Size, FVersionData.get())) return;
    for (int I = 0; I < VersionFieldCount; ++I)
        FVersionFields[static_cast<std::size_t>(I)] = GetVersionFieldFromResource(static_cast<TVersionField>(I));
}

AnsiString TVersionInfo::GetVersionFieldFromResource(TVersionField Field) const {
    if (!FVersionData) return {};
    LPVOID Value = nullptr;
    UINT Length = 0;
    if (Field != vfBuildFlags) {
        const AnsiString SubBlock = AnsiString("\\StringFileInfo\\040904E4\\") + VersionKeys[Field];
        if (!VerQueryValueA(FVersionData.get(), SubBlock.c_str(), &Value, &Length)) return {};
        return static_cast<const char*>(Value);
    }
    if (!VerQueryValueA(FVersionData.get(), "\\", &Value, &Length) || Length < sizeof(VS_FIXEDFILEINFO)) return {};
    VS_FIXEDFILEINFO Fixed;
    std::memcpy(&Fixed, Value, sizeof(Fixed));
    // The words stand in this order, which is not the order of the bits.
    static constexpr std::pair<DWORD, const char*> Flags[] = {
        {VS_FF_DEBUG, "Debug,"},          {VS_FF_INFOINFERRED, "InfoInferred,"}, {VS_FF_PATCHED, "Patched,"},
        {VS_FF_PRERELEASE, "PreRelease,"}, {VS_FF_PRIVATEBUILD, "PrivateBuild,"}, {VS_FF_SPECIALBUILD, "SpecialBuild,"},
    };
    AnsiString Result;
    for (const auto& [Bit, Word] : Flags)
        if (Fixed.dwFileFlagsMask & Fixed.dwFileFlags & Bit) Result += Word;
    switch (Fixed.dwFileType) {
        case VFT_UNKNOWN: Result += "Unknown File Type"; break;
        case VFT_APP: Result += "Application"; break;
        case VFT_DLL: Result += "Dynamic-Link Library"; break;
        case VFT_DRV: Result += "Device Driver"; break;
        case VFT_FONT: Result += "Font"; break;
        case VFT_VXD: Result += "Virtual Device"; break;
        case VFT_STATIC_LIB: Result += "Static-Link Library"; break;
        default: break;
    }
    return Result;
}

AnsiString TVersionInfo::GetVersionField(int Index) const {
    if (Index < 0 || Index >= VersionFieldCount) return {};
    return FVersionFields[static_cast<std::size_t>(Index)];
}

void TVersionInfo::SetVersionField(int, AnsiString) {}
