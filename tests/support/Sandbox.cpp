#include "tests/support/Sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace TestSupport {

namespace fs = std::filesystem;

#ifdef _WIN32
// On Windows the system itself is the sandbox (every test run has a fresh
// Wine prefix): the folder is only the tests' own work space.
TSandbox::TSandbox() {
    if (const char* Previous = std::getenv("TYPECASK_SYSROOT")) FPrevious = Previous;
    for (unsigned Attempt = 0; FRoot.empty(); ++Attempt) {
        const fs::path Candidate = fs::temp_directory_path() / ("typecask-sandbox-" + std::to_string(Attempt));
        if (fs::create_directory(Candidate)) FRoot = Candidate.string();
        if (Attempt > 10000) throw std::runtime_error("cannot create a sandbox folder in " + Candidate.string());
    }
    Os::UseSysRoot(FRoot);
}

TSandbox::~TSandbox() {
    Os::UseSysRoot(FPrevious.value_or(""));
#else
TSandbox::TSandbox() {
    if (const char* Previous = std::getenv("TYPECASK_SYSROOT")) FPrevious = Previous;
    std::string Template = (fs::temp_directory_path() / "typecask-sandbox-XXXXXX").string();
    if (!::mkdtemp(Template.data())) throw std::runtime_error("cannot create a sandbox folder in " + Template);
    FRoot = Template;
    ::setenv("TYPECASK_SYSROOT", FRoot.c_str(), 1);
    Os::ResetOsServices();
}

TSandbox::~TSandbox() {
    Os::ResetOsServices();
    if (FPrevious)
        ::setenv("TYPECASK_SYSROOT", FPrevious->c_str(), 1);
    else
        ::unsetenv("TYPECASK_SYSROOT");
#endif
    std::error_code Ec;
    // Tests may leave read-only folders behind; open them up before removing.
    for (auto It = fs::recursive_directory_iterator(FRoot, Ec); !Ec && It != fs::recursive_directory_iterator();
         It.increment(Ec))
        if (It->is_directory(Ec) && !It->is_symlink(Ec)) fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ec);
    fs::remove_all(FRoot, Ec);
}

std::string TSandbox::InstallFont(const std::string& Family, FontGen::TFontSpec FontSpec, const std::string& FileName) {
    FontSpec.FamilyName = Family;
    const std::string Folder = Os::GetSystemPaths().UserFontsFolder;
    fs::create_directories(Folder);
    const std::string Path = Folder + "/" + (FileName.empty() ? Family + ".ttf" : FileName);
    FontGen::WriteTrueTypeFont(FontSpec, Path);
    Os::RefreshFontConfiguration();
    return Path;
}

bool TSandbox::InstallFontFile(const std::string& Path) {
    const std::string Folder = Os::GetSystemPaths().UserFontsFolder;
    fs::create_directories(Folder);
    std::error_code Ec;
    if (!fs::copy_file(Path, Folder + "/" + fs::path(Path).filename().string(), fs::copy_options::overwrite_existing, Ec))
        return false;
    Os::RefreshFontConfiguration();
    return true;
}

std::string TSandbox::MakeFontFile(const std::string& Family, FontGen::TFontSpec FontSpec, const std::string& FileName) {
    FontSpec.FamilyName = Family;
    fs::create_directories(FRoot + "/work");
    const std::string Path = FRoot + "/work/" + (FileName.empty() ? Family + ".ttf" : FileName);
    FontGen::WriteTrueTypeFont(FontSpec, Path);
    return Path;
}

}  // namespace TestSupport
