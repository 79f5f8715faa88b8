// The component unit Typecask: its initialisation and finalisation parts, run
// by the package's counted Initialize and Finalize (TypecaskLib/Package.h).
#pragma once

// Registers the package's string table as a source of LoadStr, then builds
// the unit's state; raises when a part fails (the parts done before are
// undone by the package loader).
void InitializeTypecaskUnit();
// Releases what InitializeTypecaskUnit built, in reverse order.
void FinalizeTypecaskUnit();
