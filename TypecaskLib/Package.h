// The package unit TypecaskLib: the package's entries and its own module.
//
// libTypecaskLib.so exports Initialize and Finalize (C linkage), which the
// package loader (LoadPackage, platform/Packages.h) calls. They initialise and
// finalise, counted, the package's two units in this order:
//   TypecaskLib  registers the module with the module list, with its
//                resources (resources/TypecaskLib.rc) in memory;
//   Typecask     the component unit (Typecask/Unit.h).
//
// Programs that link the library directly need not call anything: loading the
// library runs Initialize once from a static initialiser (after the other
// static initialisers of the library, whose objects come first on the link
// line), and unloading it runs the balancing Finalize. Unit initialisations
// must therefore rely on no static object of the library other than
// function-local ones.
#pragma once

#include "platform/os/WinResources.h"

extern "C" {
void Initialize();
void Finalize();
}

// The package's own module handle (the HINSTANCE of libTypecaskLib.so), for
// its resources and its file name.
HINSTANCE GetPackageInstance();
