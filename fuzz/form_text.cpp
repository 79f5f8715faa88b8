// Any bytes as the text form of form data: the parser converts them or
// raises EParserError (or another of the class library's exceptions), and
// what it converts shows as a text form that converts back to the same text.
#include <cstdint>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::string Binary;
    try {
        Binary = FuzzSupport::TextToBinary({reinterpret_cast<const char*>(Data), Size});
    } catch (const Exception&) {
        return 0;
    }
    FuzzSupport::CheckTextRoundTrip(Binary);
    return 0;
}
