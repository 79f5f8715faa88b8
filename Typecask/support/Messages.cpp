// The package's string table. The texts (ids 1 to 20, TTypecaskMessage in
// Errors.h) live in the package's resources (resources/TypecaskLib.rc); the
// Typecask unit registers this source of string resources when the package is
// initialised, so that LoadStr and ETypecask find them by id.
#include "Typecask/support/Messages.h"

#include <optional>

#include "TypecaskLib/Package.h"
#include "platform/SysUtils.h"

namespace {

int Cookie = 0;

std::optional<AnsiString> PackageString(int Ident) {
    if (Ident < 0) return std::nullopt;
    return Os::LoadResString(GetPackageInstance(), static_cast<UINT>(Ident));
}

}  // namespace

void RegisterTypecaskMessages() {
    if (Cookie == 0) Cookie = AddResStringSource(PackageString);
}

void UnregisterTypecaskMessages() {
    if (Cookie == 0) return;
    RemoveResStringSource(Cookie);
    Cookie = 0;
}
