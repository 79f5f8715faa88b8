#include "platform/Persistent.h"

TYPECASK_IMPLEMENT_CLASS(TPersistent)
void TPersistent::Publish(TPublisher<TPersistent>&) {}

TPersistent::~TPersistent() = default;

void TPersistent::Assign(TPersistent* Source) {
    if (Source) return Source->AssignTo(this);
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
    const AnsiString SourceName = Source ? Source->ClassName() : AnsiString("nil");
    throw EConvertError("Cannot assign a %s to a %s", {SourceName, ClassName()});
}

void TPersistent::DefineProperties(TFiler*) {}

AnsiString TPersistent::GetNamePath() {
    AnsiString Result = ClassName();
    if (TPersistent* Owner = GetOwner()) {
        const AnsiString S = Owner->GetNamePath();
        if (!S.empty()) Result = S + "." + Result;
    }
    return Result;
}
