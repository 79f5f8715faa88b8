// Any bytes as a module file (above all a Windows program or DLL: its
// headers, section table and resource tree), read as "typecask inspect"
// reads a program that is not loaded: its resources, the forms among them
// and what each form's TTypecask components carry. Malformed data gives an
// exception, never a crash or a hang.
#include <cstdint>
#include <cstdlib>

#include "Typecask/component/FormFonts.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::UseSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Path = FuzzSupport::InputFile(Data, Size, ".exe");
    try {
        const auto Module = SummarizeModuleForms(Path);
        // Every form lies inside one of the resources it was found among.
        for (const auto& F : Module.Forms) {
            bool Inside = false;
            for (const auto& E : Module.Resources->GetEntries())
                Inside |= F.Form.Data == E.Data && F.Form.Size == E.Size;
            if (!Inside) std::abort();
            for (const auto& T : F.Typecasks)
                if (T.DataError.empty() && T.HasFontData && T.Font.size() != static_cast<std::size_t>(T.FontSize))
                    std::abort();
        }
    } catch (const Exception&) {
    }
    return 0;
}
