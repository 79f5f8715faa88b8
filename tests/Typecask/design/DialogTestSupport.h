// Helpers of the dialog tests: the dialog being shown, found among the
// application's components.
#pragma once

#include "platform/Forms.h"

namespace DialogTests {

// The newest form of class F owned by the application, or nullptr.
template <class F>
F* OpenDialog() {
    for (int I = Application->ComponentCount() - 1; I >= 0; --I)
        if (auto* Form = dynamic_cast<F*>(Application->Components(I))) return Form;
    return nullptr;
}

}  // namespace DialogTests
