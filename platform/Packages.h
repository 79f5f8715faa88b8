// Packages: the units a package is made of with their counted initialisation
// and finalisation, the package loader, and the package records that a
// package carries among its resources.
//
// A package is a shared library that exports two functions with C linkage,
// "Initialize" and "Finalize" (TPackageProc). Initialize runs the
// initialisation part of each of the package's units in order and registers
// the module with the module list; Finalize undoes that in reverse order.
// Both count: only the first Initialize and the Finalize that balances it do
// the work, so a package loaded by LoadPackage into a program that also links
// it is initialised once.
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/SysUtils.h"
#include "platform/os/WinResources.h"

// A package could not be loaded or its records could not be read.
class EPackageError : public Exception {
public:
    using Exception::Exception;
};

using TPackageProc = void (*)();

// One unit of a package: its name and its initialisation and finalisation
// parts (either may be nullptr).
struct TUnitInfo {
    const char* Name;
    TPackageProc Initialization;
    TPackageProc Finalization;
};

// The units of one package, in initialisation order.
class TPackageUnits {
public:
    TPackageUnits(std::initializer_list<TUnitInfo> Units) : FUnits(Units) {}
    TPackageUnits(const TPackageUnits&) = delete;
    TPackageUnits& operator=(const TPackageUnits&) = delete;

    // The first call runs the units' initialisations in order; later calls
    // only count. When an initialisation raises, the units initialised before
    // it are finalised in reverse order, the count stays 0 and the exception
    // passes on.
    void Initialize();
    // The call that balances the first Initialize runs the finalisations of
    // all units in reverse order; the others only count. Every finalisation
    // runs even when one raises; the first exception passes on afterwards. A
    // call without a matching Initialize does nothing.
    void Finalize();
    int GetInitCount() const { return FInitCount; }

private:
    std::vector<TUnitInfo> FUnits;
    int FInitCount = 0;
};

// Loads the package FileName (a path or a library name the dynamic loader
// finds) and calls its Initialize. Raises EPackageError when the library
// cannot be loaded, is no package (no Initialize or Finalize) or its
// initialisation raises (then the library is unloaded again).
HMODULE LoadPackage(const AnsiString& FileName);
// Calls the package's Finalize and unloads it.
void UnloadPackage(HMODULE Module);

// The package records of a module's resources.
struct TPackageInfo {
    // Unit flags of PACKAGEINFO.
    static constexpr WORD ufPackageUnit = 0x0001;
    static constexpr WORD ufRegisters = 0x0002;
    // Options of PACKAGEOPTIONS.
    static constexpr WORD poDesignTime = 0x0001;
    static constexpr WORD poRunTime = 0x0002;
    static constexpr WORD poExplicitBuild = 0x0004;

    struct TUnit {
        AnsiString Name;
        WORD Flags = 0;
    };
    AnsiString Description;
    std::vector<AnsiString> Requires;
    std::vector<TUnit> Contains;
    WORD Options = 0;
};

// Reads DESCRIPTION, PACKAGEINFO and PACKAGEOPTIONS (layouts in
// resources/TypecaskLib.rc) from a resource image. Raises EPackageError when
// PACKAGEINFO is missing or one of them is malformed; a missing DESCRIPTION
// or PACKAGEOPTIONS reads as empty.
TPackageInfo ReadPackageInfo(const Os::TResourceImage& Resources);
// The same for a loaded module (through the module list).
TPackageInfo GetPackageInfo(HMODULE Module);
