// Any bytes as binary form data for ObjectBinaryToText: it writes the text
// form or raises one of the class library's exceptions, and the text it
// writes converts back to binary form data that shows as the same text.
#include <cstdint>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Binary(reinterpret_cast<const char*>(Data), Size);
    try {
        FuzzSupport::BinaryToText(Binary);
    } catch (const Exception&) {
        return 0;
    }
    FuzzSupport::CheckTextRoundTrip(Binary);
    return 0;
}
