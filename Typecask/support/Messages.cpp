// The package's string table. Registered as a source of string resources when
// the package is loaded, so that LoadStr and ETypecask find the texts by id.
#include <array>
#include <optional>

#include "Typecask/support/Errors.h"

namespace {

constexpr std::array<const char*, 16> StringTable = {
    "",
    "Not enough memory to allocate %d bytes",
    "Font (%s) not found in the registry",
    "Font file (%s) not found",
    "Font could not be installed",
    "Font name could not be changed at runtime",
    "Freeware",
    "True Type Fonts",
    "Select the font to be stored in the resource",
    "Font could not be installed permanently",
    "Font permanent installation property name could not be changed at runtime",
    "LZRW compressed stream signature is wrong",
    "Font file (%s) could not be loaded",
    "",
    "",
    "",
};

struct TStringTableRegistration {
    int Cookie;
    TStringTableRegistration()
        : Cookie(AddResStringSource([](int Ident) -> std::optional<AnsiString> {
              if (Ident < 0 || Ident >= static_cast<int>(StringTable.size())) return std::nullopt;
              return AnsiString(StringTable[static_cast<std::size_t>(Ident)]);
          })) {}
    ~TStringTableRegistration() { RemoveResStringSource(Cookie); }
};

const TStringTableRegistration Registration;

}  // namespace
