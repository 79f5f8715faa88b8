#include "Typecask/Unit.h"

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Messages.h"

// Each part of the unit that has state to build and release adds its calls
// here: initialisations after the string table (they may raise ETypecask),
// finalisations in the reverse order, before the string table goes.
//  - the unit's string constants (registry keys, suffixes, property names):
//    built last, released first.

void InitializeTypecaskUnit() {
    RegisterTypecaskMessages();
    InitializeTypecaskConstants();
    // Form data names the component's class; the reader finds it here.
    RegisterClass(TTypecask::StaticClass());
}

void FinalizeTypecaskUnit() {
    UnRegisterClass(TTypecask::StaticClass());
    FinalizeTypecaskConstants();
    UnregisterTypecaskMessages();
}
