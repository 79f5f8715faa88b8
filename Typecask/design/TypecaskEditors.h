// The design-time side of TTypecask: its property editors, its component
// editor and Register, which the builder calls when it loads the package.
#pragma once

#include "platform/DesignEditors.h"

// About: expands into the version values; the ellipsis shows the about box.
class TTypecaskAboutPropertyEditor : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
    void Edit() override;
    TPropertyAttributes GetAttributes() override;
};

// TypecaskName: expands into TTFontName; the ellipsis opens the font picker
// and applies the family chosen with OK.
class TTypecaskNamePropertyEditor : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
    void Edit() override;
    TPropertyAttributes GetAttributes() override;
};

// Context menu "TypecaskName...", "About..." and "Subset to the form's
// texts"; a double-click opens the font picker. The third verb asks in a
// dialog (TFormSubsetRanges) for further ranges of characters to keep, then
// replaces the font held by its subset that keeps those, the characters of
// every text of the form (SubsetCharacters.h) and U+0020 to U+007E
// (TTypecask::SubsetFontResource: a subset is made again from the whole font
// installed here), and marks the form modified. Cancel, a malformed list of
// ranges (ETypecask msgBadSubsetRanges) and a refusal change nothing.
class TTypecaskComponentEditor : public TDefaultEditor {
public:
    TTypecaskComponentEditor(TComponent* AComponent, IDesigner* ADesigner);

    void ExecuteVerb(int Index) override;
    AnsiString GetVerb(int Index) override;
    int GetVerbCount() override;
    // Edits only the property that the running command (or a double-click)
    // names; every other one is passed over.
    void EditProperty(TPropertyEditor* PropertyEditor, bool& Continue, bool& FreeEditor) override;

    int GetVerbIndex() const { return FVerbIndex; }

private:
    std::int32_t FVerbIndex = 0;
};

// Puts TTypecask on its palette page and registers its three editors.
void Register();

// The same, under an unmangled name for hosts that look it up in the
// loaded library.
extern "C" void TypecaskRegister();
