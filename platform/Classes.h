// The class library's object model and form streaming in one include.
#pragma once

#include "platform/Component.h"
#include "platform/Filer.h"
#include "platform/Object.h"
#include "platform/ObjectText.h"
#include "platform/Persistent.h"
#include "platform/StringList.h"
#include "platform/TypInfo.h"
