// typecask-dfm2bin IN OUT: converts a form layout from text form data to the
// binary form data that the resource script carries. A build tool of its
// own (linking only the class library), since the package's resources are
// compiled before the package itself.
#include <cstdio>

#include "platform/ObjectText.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

int main(int Argc, char** Argv) {
    if (Argc != 3) {
        std::fprintf(stderr, "usage: typecask-dfm2bin TEXT_FORM_FILE BINARY_FORM_FILE\n");
        return 2;
    }
    try {
        TFileStream In(Argv[1], fmOpenRead);
        TMemoryStream Out;
        ObjectTextToBinary(&In, &Out);
        Out.SaveToFile(Argv[2]);
        return 0;
    } catch (const Exception& E) {
        std::fprintf(stderr, "%s: %s\n", Argv[1], E.GetMessage().c_str());
        return 1;
    }
}
