// Shared pieces of the component tests: a form root, form data made from
// text, and the bytes of files.
#pragma once

#include <string>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "platform/Classes.h"

namespace ComponentTest {

// The root of the forms the tests read and write.
class TTestForm : public TComponent {
    TYPECASK_CLASS(TTestForm, TComponent)

public:
    using TComponent::TComponent;
};

// A form owned by the test: designing or not.
struct TForm {
    explicit TForm(bool Designing);
    ~TForm();
    TTypecask* Add(const char* Name = "Typecask1");
    TTestForm* Root;
};

// Binary form data from its text form.
void TextToForm(const std::string& Text, TMemoryStream& Out);
// The form's binary form data.
void SaveForm(TComponent* Root, TMemoryStream& Out);
// Bytes compressed as the component keeps a font.
std::string Compressed(const std::string& Bytes);
// Form data, written by TWriter, of a run-time form Form1 whose one component
// Typecask1 names Family (nothing when empty) and carries Resource, a
// compressed font or bytes standing for one; InstallPermanently = False is
// stored unless Permanent.
void FontForm(const std::string& Family, const std::string& Resource, bool Permanent, TMemoryStream& Out);
// Reads form data into Root; with Errors, property errors are collected and
// reading goes on, as a designer does.
void LoadForm(TMemoryStream& Data, TComponent* Root, std::vector<std::string>* Errors = nullptr);

std::string ReadFileBytes(const std::string& FileName);
std::string StreamBytes(TMemoryStream* S);
// The file names in Folder, sorted.
std::vector<std::string> FolderContents(const std::string& Folder);
// The families GetTrueTypeFamilies reports.
std::vector<std::string> Families();
bool HasFamily(const std::string& Family);

// The message of the exception that Call raises, or "" when it raises none.
template <class F>
std::string MessageOf(F&& Call) {
    try {
        Call();
    } catch (const Exception& E) {
        return E.GetMessage();
    }
    return {};
}

}  // namespace ComponentTest
