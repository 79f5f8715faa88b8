#include "Typecask/Unit.h"

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Messages.h"

// Each part of the unit that has state to build and release adds its calls
// here, finalisations in the reverse order of the initialisations:
//  - the string table of messages: built first, so that every later step may
//    raise ETypecask, and released last;
//  - the unit's string constants (registry keys, suffixes, property names);
//  - the component's class, which form data names: registered last,
//    unregistered first.

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
