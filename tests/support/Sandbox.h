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

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

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
    // Root() followed by a relative path ('/' between its parts), in the
    // platform's form.
    std::string operator/(std::string Relative) const {
        std::replace(Relative.begin(), Relative.end(), '/', PathDelim);
        return FRoot + PathDelim + Relative;
    }

    // Writes a generated font of the family into the user font folder
    // (file name: family + ".ttf" unless given) and brings the font
    // configuration up to date, so that the family counts as installed.
    // On Windows the folder is the system's Fonts folder, the file is
    // registered under the Fonts key and added to the font table, and the
    // destructor takes all of it back. Returns the file's path.
    std::string InstallFont(const std::string& Family, FontGen::TFontDesign FontDesign = {},
                            const std::string& FileName = {});
    // Copies a font file of the system (one the tests do not generate) into
    // the user font folder and installs it as InstallFont does; false when
    // the file is not there.
    bool InstallFontFile(const std::string& Path);
    // Uninstalls the font file at Path that InstallFont installed: deletes
    // it and brings the font configuration up to date (on Windows: takes it
    // out of the font table and the Fonts key first); false when it was not
    // there.
    bool UninstallFont(const std::string& Path);
    // Writes a generated font of the family to Root()/work/FILE without
    // installing it; returns the path.
    std::string MakeFontFile(const std::string& Family, FontGen::TFontDesign FontDesign = {},
                             const std::string& FileName = {});
#ifdef _WIN32
    // Points the Fonts folder that the system names to every user (the
    // default user's shell folders) at Folder; the destructor restores it.
    void SetShellFontsFolder(const std::string& Folder);
#endif

private:
    // Makes the font file at Path (in the user font folder) an installed font.
    void AddToFontTable(const std::string& Path);

    std::string FRoot;
    std::optional<std::string> FPrevious;
    // Windows: what the destructor takes back.
    std::vector<std::string> FAdded;  // font files added to the font table
    std::vector<std::string> FFontsFolderBefore, FFontsKeyBefore;
    std::vector<std::optional<std::string>> FPreviousTemp;  // TMP, TEMP
    std::optional<std::string> FShellFontsFolder;
};

}  // namespace TestSupport
