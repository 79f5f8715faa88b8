// A sandbox for tests of anything that reaches the OS services: a fresh
// temporary system root, set as TYPECASK_SYSROOT for the lifetime of the
// object, with the OS services reset on entry and on exit, and the folder
// removed afterwards. The previous value of TYPECASK_SYSROOT is restored.
//
//   TEST(Something, Works) {
//       TestSupport::TSandbox Box;
//       Box.InstallFont("Sandbox Sans");   // now an installed family
//       ...
//   }
#pragma once

#include <optional>
#include <string>

#include "platform/os/SysRoot.h"
#include "tools/fontgen/FontGen.h"

namespace TestSupport {

class TSandbox {
public:
    TSandbox();
    ~TSandbox();
    TSandbox(const TSandbox&) = delete;
    TSandbox& operator=(const TSandbox&) = delete;

    // The sandbox's root folder (no trailing delimiter).
    const std::string& Root() const { return FRoot; }
    // The paths the OS services use inside it.
    Os::TSystemPaths Paths() const { return Os::GetSystemPaths(); }
    // Root() followed by a relative path.
    std::string operator/(const std::string& Relative) const { return FRoot + "/" + Relative; }

    // Writes a generated font of the family into the user font folder
    // (file name: family + ".ttf" unless given) and brings the font
    // configuration up to date, so that the family counts as installed.
    // Returns the file's path.
    std::string InstallFont(const std::string& Family, FontGen::TFontSpec FontSpec = {},
                            const std::string& FileName = {});
    // Copies a font file of the system (one the tests do not generate) into
    // the user font folder and brings the font configuration up to date;
    // false when the file is not there.
    bool InstallFontFile(const std::string& Path);
    // Writes a generated font of the family to Root()/work/FILE without
    // installing it; returns the path.
    std::string MakeFontFile(const std::string& Family, FontGen::TFontSpec FontSpec = {},
                             const std::string& FileName = {});

private:
    std::string FRoot;
    std::optional<std::string> FPrevious;
};

}  // namespace TestSupport
