// TPersistent: objects that can be assigned to each other and streamed.
#pragma once

#include "platform/TypInfo.h"

class TFiler;

class TPersistent : public TObject {
    TYPECASK_CLASS(TPersistent, TObject)

public:
    ~TPersistent() override;

    // Copies Source into this object. The default hands the work to
    // Source->AssignTo; raises EConvertError "Cannot assign a X to a Y" when
    // neither side knows the other (X is "nil" for a null Source).
    virtual void Assign(TPersistent* Source);
    // The path that names this object in a designer: the owner's path and the
    // class name.
    virtual AnsiString GetNamePath();

    // Declares values that are streamed besides the published properties
    // (TFiler::DefineProperty, TFiler::DefineBinaryProperty).
    virtual void DefineProperties(TFiler* Filer);

protected:
    // Copies this object into Dest; the default raises EConvertError.
    virtual void AssignTo(TPersistent* Dest);
    // The object this one belongs to, for GetNamePath.
    virtual TPersistent* GetOwner() { return nullptr; }

private:
    [[noreturn]] void AssignError(TPersistent* Source);

    friend class TReader;
    friend class TWriter;
};
