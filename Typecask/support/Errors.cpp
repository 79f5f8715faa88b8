#include "Typecask/support/Errors.h"

ETypecask::ETypecask(int Ident) : Exception(Ident) {}

ETypecask::ETypecask(int Ident, const Variant& Arg) : Exception(Ident, {TVarRec(Arg)}) {}
