// TTypecask: the component that carries one TrueType font inside form data
// and installs it when the form has been read.
#pragma once

#include <memory>

#include "Typecask/component/TypecaskName.h"
#include "Typecask/support/VersionInfo.h"
#include "platform/Classes.h"
#include "platform/os/FontFiles.h"
#include "platform/os/WinFonts.h"

// The kinds of installation; ikNone: no installation.
enum TInstallationKind {
    ikNone,
    ikMachineWide,  // for good, in the system's Fonts folder and under HKEY_LOCAL_MACHINE
    ikPerUser,      // for good, in the user's own font folder and under HKEY_CURRENT_USER
    ikTemporary,    // in this process's temporary folder, until the component goes
};

// What decides the kind of an installation.
struct TInstallationCase {
    // InstallPermanently, at run time (a designer installs only for the run).
    bool Permanent = false;
    // The font's licence: only an Installable font may stay for good.
    Os::TEmbeddingPermission Licence = Os::TEmbeddingPermission::Installable;
    // The kind the system refused for want of rights, ikNone at first.
    TInstallationKind Refused = ikNone;
    // How the system keeps a user's own fonts.
    Os::TUserFonts UserFonts = Os::TUserFonts::SameAsMachine;
    // The font is a subset (Os::GetFontSubsetInfo). Installed for good it
    // would stand in for the whole font of its family in every program of
    // the machine, which would then miss every character it left out.
    bool Subset = false;
};

// The one decision between the kinds: with Refused ikNone the first choice
// (machine-wide when Permanent, the licence allows it and the font is no
// subset, else temporary);
// else what follows the refusal of Refused, ikNone when nothing does.
TInstallationKind ChooseInstallationKind(const TInstallationCase& Case);

class TTypecask : public TComponent {
    TYPECASK_CLASS(TTypecask, TComponent)

public:
    explicit TTypecask(TComponent* AOwner);
    // Removes a temporary installation, then releases what it owns.
    ~TTypecask() override;

    void DefineProperties(TFiler* Filer) override;
    // Installs the font once the whole form has been read.
    void Loaded() override;

    virtual void SetInstallPermanently(bool Value);
    // Also the change notification of the component's own TTypecaskName.
    virtual void SetTypecaskName(TTypecaskName* Value);
    // The version values are read-only: assigning does nothing.
    void SetAbout(TVersionInfo* Value);

    // Null at run time.
    TVersionInfo* GetAbout() const { return FAboutInfo.get(); }
    bool GetInstallPermanently() const { return FPermanent; }
    TTypecaskName* GetTypecaskName() const { return FFontName.get(); }

    // The "TrueTypeFontResource" reader and writer: one compressed stream of
    // the whole font file.
    void ReadTrueTypeFontResource(TStream* Stream);
    void WriteTrueTypeFontResource(TStream* Stream);
    // Loads the font file of the chosen family into memory. In the designer,
    // unless a form is being read, a family whose licence forbids embedding
    // is refused (ETypecask 13 or 14) and nothing is loaded.
    void GetFontResource();
    // Replaces the font held by its subset that keeps the characters of
    // Keep (Os::SubsetFont), of the face that declares the chosen family.
    // A font that is a subset already is made again from the whole font
    // installed here, and refused (ETypecask 20) when none is. Refused
    // without font data (ETypecask 19) and for a licence with the
    // no-subsetting bit (ETypecask 18); Os::EFontSubset when this build has
    // no subsetter. A refusal leaves the font held as it was.
    void SubsetFontResource(const Os::TCodePoints& Keep);

    // Writes the font to a file and adds it to the font table (temporarily
    // in the designer or without InstallPermanently, else for good and
    // registered: for the machine, or for the user when the machine refuses
    // it), unless there is no font data or the family is known.
    // A file of that name that is there already is never touched: used when
    // it holds the same bytes, refused otherwise. A failed installation
    // leaves no file of its own behind.
    void AddFontResourceA();
    // Undoes a temporary installation (by the kind that was made); does
    // nothing unless the font is added.
    void RemoveFontResourceA();
    // True when the family is among the screen's TrueType families (letter
    // case ignored).
    bool CheckIfIntalled() const;

    // The uncompressed font file; null when the component holds no font.
    TMemoryStream* GetFontData() const { return FFontData.get(); }
    // The last path a font file was written to.
    const AnsiString& GetFontFilePath() const { return FFontFilePath; }
    bool GetFontAdded() const { return FFontAdded; }
    // What the licence of the font held lets the component do with it, read
    // once whenever the font data is set; Installable without font data.
    const Os::TFontEmbedding& GetFontEmbedding() const { return FEmbedding; }
    // Whether the font held is a subset, read whenever the font data is set.
    const Os::TFontSubsetInfo& GetFontSubset() const { return FSubset; }
    // The kind of the installation made; ikNone while the font is not added.
    TInstallationKind GetInstallationKind() const { return FInstallationKind; }
    // True when an installation made now would be permanent: at run time,
    // with InstallPermanently, of a font whose licence lets it be installed
    // for good and which is no subset.
    bool IsPermanentInstallation() const;

private:
    // What decides the kind of an installation made now.
    TInstallationCase InstallationCase() const;
    // Makes an installation of that kind; see AddFontResourceA.
    void Install(TInstallationKind Kind);
    // The font file of the chosen family, read whole; ETypecask 12 when it
    // cannot be read.
    std::unique_ptr<TMemoryStream> ReadFontFile() const;
    // Holds Data (may be null) and what its bytes say of themselves.
    void SetFontData(std::unique_ptr<TMemoryStream> Data);

    std::unique_ptr<TVersionInfo> FAboutInfo;
    bool FPermanent;
    std::unique_ptr<TTypecaskName> FFontName;
    std::unique_ptr<TMemoryStream> FFontData;
    Os::TFontEmbedding FEmbedding;
    Os::TFontSubsetInfo FSubset;
    AnsiString FFontFilePath;
    bool FFontAdded;
    TInstallationKind FInstallationKind = ikNone;
};

// Replaces the content of List with the TrueType families of the screen, in
// the order the system reports them.
void GetTrueTypeFamilies(TStrings* List);
// Adds the face name of each TrueType family to the TStrings* in Data.
int CALLBACK EnumTrueTypeFamilyProc(const LOGFONTA* LogFont, const TEXTMETRICA* TextMetric, DWORD FontType,
                                    LPARAM Data);
