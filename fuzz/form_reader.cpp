// Any bytes as binary form data, read into new components of the registered
// classes (the package's component among them), once without and once with
// an error handler that skips whatever fails: the reader builds the form or
// raises one of the class library's exceptions, never crashes, and a form it
// could not read leaves nothing behind.
#include <cstdint>
#include <memory>

#include "Typecask/component/Typecask.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::UseSandbox();
    if (!FindClass("TTypecask")->InheritsFrom(TComponent::StaticClass())) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    for (const bool Skip : {false, true}) {
        TMemoryStream Stream;
        Stream.WriteBuffer(Data, static_cast<std::int64_t>(Size));
        Stream.SetPosition(0);
        TReader Reader(&Stream);
        if (Skip) Reader.SetOnError([](TReader*, const Exception&, bool& Handled) { Handled = true; });
        try {
            std::unique_ptr<TComponent> Root(Reader.ReadRootComponent(nullptr));
        } catch (const Exception&) {
        }
    }
    return 0;
}
