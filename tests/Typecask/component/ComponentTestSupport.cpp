#include "tests/Typecask/component/ComponentTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Typecask/compression/LZStream.h"

TYPECASK_IMPLEMENT_CLASS(ComponentTest::TTestForm)
void ComponentTest::TTestForm::Publish(TPublisher<TTestForm>&) {}

namespace ComponentTest {

TForm::TForm(bool Designing) : Root(new TTestForm(nullptr)) {
    Root->SetName("Form1");
    if (Designing) Root->SetDesigning(true);
}

TForm::~TForm() { delete Root; }

TTypecask* TForm::Add(const char* Name) {
    auto* T = new TTypecask(Root);
    T->SetName(Name);
    return T;
}

void TextToForm(const std::string& Text, TMemoryStream& Out) {
    TMemoryStream In;
    In.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    In.SetPosition(0);
    Out.Clear();
    ObjectTextToBinary(&In, &Out);
    Out.SetPosition(0);
}

void SaveForm(TComponent* Root, TMemoryStream& Out) {
    Out.Clear();
    WriteComponentToStream(&Out, Root);
    Out.SetPosition(0);
}

std::string Compressed(const std::string& Bytes) {
    TMemoryStream In, Out;
    In.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
    In.SetPosition(0);
    TLZStream().Compress(&In, &Out, static_cast<std::int32_t>(Bytes.size()));
    return StreamBytes(&Out);
}

void FontForm(const std::string& Family, const std::string& Resource, bool Permanent, TMemoryStream& Out) {
    Out.Clear();
    {
        TWriter Writer(&Out);
        Writer.WriteSignature();
        Writer.WriteHeader({}, 0, "TTestForm", "Form1");
        Writer.WriteListEnd();  // the form's properties
        Writer.WriteHeader({}, 0, "TTypecask", "Typecask1");
        if (!Permanent) {
            Writer.WriteStr("InstallPermanently");
            Writer.WriteBoolean(false);
        }
        if (!Family.empty()) {
            Writer.WriteStr("TypecaskName.TTFontName");
            Writer.WriteString(Family);
        }
        Writer.WriteStr("TrueTypeFontResource");
        Writer.WriteBinary(Resource.data(), static_cast<std::uint32_t>(Resource.size()));
        Writer.WriteListEnd();  // the component's properties
        Writer.WriteListEnd();  // its components
        Writer.WriteListEnd();  // the form's components
    }
    Out.SetPosition(0);
}

void LoadForm(TMemoryStream& Data, TComponent* Root, std::vector<std::string>* Errors) {
    Data.SetPosition(0);
    TReader::TReaderErrorEvent OnError;
    if (Errors)
        OnError = [Errors](TReader*, const Exception& E, bool& Handled) {
            Errors->push_back(E.GetMessage());
            Handled = true;
        };
    ReadComponentFromStream(&Data, Root, OnError);
}

std::string ReadFileBytes(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

std::string StreamBytes(TMemoryStream* S) {
    return S ? std::string(reinterpret_cast<const char*>(S->GetMemory()), static_cast<std::size_t>(S->GetSize()))
             : std::string();
}

std::vector<std::string> FolderContents(const std::string& Folder) {
    std::vector<std::string> Names;
    std::error_code Ec;
    for (const auto& E : std::filesystem::directory_iterator(Folder, Ec)) Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::vector<std::string> Families() {
    TStringList List;
    GetTrueTypeFamilies(&List);
    std::vector<std::string> Out;
    for (int I = 0; I < List.Count(); ++I) Out.push_back(List[I]);
    return Out;
}

bool HasFamily(const std::string& Family) {
    const auto F = Families();
    return std::find(F.begin(), F.end(), Family) != F.end();
}

}  // namespace ComponentTest
