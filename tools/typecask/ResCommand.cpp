// typecask res: the resources of a module or .res file.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>

#include "platform/Packages.h"
#include "platform/os/WinResources.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

const char* const Help =
    "Usage: typecask res list FILE\n"
    "       typecask res strings FILE\n"
    "       typecask res version FILE\n"
    "       typecask res package FILE\n"
    "Shows the resources of FILE, read without loading it: a Windows program or\n"
    "DLL (32 or 64 bits, on every system), an ELF shared library or program\n"
    "carrying the section .rsrc, or a compiled .res file:\n"
    "  list     every resource: type, name, language and size in bytes\n"
    "  strings  the string table, one \"id: text\" per line\n"
    "  version  the version information: fixed values and every text\n"
    "  package  the package records DESCRIPTION, PACKAGEINFO and PACKAGEOPTIONS\n";

AnsiString TypeName(const Os::TResourceId& Type) {
    static const char* const Names[] = {nullptr,        "CURSOR",      "BITMAP",  "ICON",         "MENU",
                                        "DIALOG",       "STRING",      "FONTDIR", "FONT",         "ACCELERATOR",
                                        "RCDATA",       "MESSAGETABLE", "GROUP_CURSOR", nullptr, "GROUP_ICON",
                                        nullptr,        "VERSION"};
    if (Type.IsOrdinal() && Type.Id < std::size(Names) && Names[Type.Id]) return Names[Type.Id];
    if (Type.IsOrdinal() && Type.Id == 24) return "MANIFEST";
    return Type.ToString();
}

AnsiString VersionText(DWORD High, DWORD Low) {
    return Format("%d.%d.%d.%d", {High >> 16, High & 0xFFFF, Low >> 16, Low & 0xFFFF});
}

int List(const std::string& FileName) {
    const auto Image = Os::TResourceImage::FromFile(FileName);
    std::printf("%-14s %-24s %-5s %s\n", "TYPE", "NAME", "LANG", "SIZE");
    for (const auto& Entry : Image->GetEntries())
        std::printf("%-14s %-24s %04X  %zu\n", TypeName(Entry.Type).c_str(), Entry.Name.ToString().c_str(),
                    static_cast<unsigned>(Entry.Language), Entry.Size);
    return 0;
}

int Strings(const std::string& FileName) {
    const auto Image = Os::TResourceImage::FromFile(FileName);
    for (const auto& [Id, Text] : Os::ListResStrings(*Image)) std::cout << Id << ": " << Text << '\n';
    return 0;
}

int Version(const std::string& FileName) {
    DWORD Handle = 0;
    const DWORD Size = GetFileVersionInfoSizeA(FileName.c_str(), &Handle);
    if (Size == 0) {
        Os::TResourceImage::FromFile(FileName);  // raises the reason when the file cannot be read at all
        throw Exception(FileName + " has no version information");
    }
    std::vector<std::uint8_t> Block(Size);
    if (!GetFileVersionInfoA(FileName.c_str(), Handle, Size, Block.data()))
        throw Exception(FileName + ": the version information could not be read");
    LPVOID Value = nullptr;
    UINT Length = 0;
    if (VerQueryValueA(Block.data(), "\\", &Value, &Length) && Length >= sizeof(VS_FIXEDFILEINFO)) {
        VS_FIXEDFILEINFO Fixed;
        std::memcpy(&Fixed, Value, sizeof(Fixed));
        std::printf("%-18s %s\n", "(file version)", VersionText(Fixed.dwFileVersionMS, Fixed.dwFileVersionLS).c_str());
        std::printf("%-18s %s\n", "(product version)",
                    VersionText(Fixed.dwProductVersionMS, Fixed.dwProductVersionLS).c_str());
        std::printf("%-18s 0x%02X (mask 0x%02X)\n", "(file flags)", static_cast<unsigned>(Fixed.dwFileFlags),
                    static_cast<unsigned>(Fixed.dwFileFlagsMask));
        std::printf("%-18s %u\n", "(file type)", static_cast<unsigned>(Fixed.dwFileType));
    }
    AnsiString Table;
    for (const auto& String : Os::ListVersionStrings(Block.data())) {
        if (String.Table != Table) std::printf("[%s]\n", (Table = String.Table).c_str());
        std::printf("%-18s %s\n", String.Key.c_str(), String.Value.c_str());
    }
    if (VerQueryValueA(Block.data(), "\\VarFileInfo\\Translation", &Value, &Length)) {
        std::printf("%-18s", "(translations)");
        for (UINT I = 0; I + 4 <= Length; I += 4) {
            const auto* P = static_cast<const std::uint8_t*>(Value) + I;
            std::printf(" %04X%04X", P[0] | (P[1] << 8), P[2] | (P[3] << 8));
        }
        std::printf("\n");
    }
    return 0;
}

int Package(const std::string& FileName) {
    const TPackageInfo Info = ReadPackageInfo(*Os::TResourceImage::FromFile(FileName));
    std::cout << "Description: " << Info.Description << '\n';
    for (const auto& Name : Info.Requires) std::cout << "Requires:    " << Name << '\n';
    for (const auto& Unit : Info.Contains)
        std::cout << "Contains:    " << Unit.Name
                  << ((Unit.Flags & TPackageInfo::ufPackageUnit) ? " (package unit)" : "")
                  << ((Unit.Flags & TPackageInfo::ufRegisters) ? " (registers components)" : "") << '\n';
    std::cout << "Usage:      " << ((Info.Options & TPackageInfo::poDesignTime) ? " design time" : "")
              << ((Info.Options & TPackageInfo::poRunTime) ? " run time" : "") << '\n';
    return 0;
}

int Run(TArgs& Args) {
    const auto Words = Args.Positional(2);
    if (Words[0] == "list") return List(Words[1]);
    if (Words[0] == "strings") return Strings(Words[1]);
    if (Words[0] == "version") return Version(Words[1]);
    if (Words[0] == "package") return Package(Words[1]);
    throw EUsage("unknown subcommand " + Words[0]);
}

const TCommandRegistration Registration({"res", "show the resources of a module or .res file", Help, Run});

}  // namespace

}  // namespace Tool
