// Reading the arguments of a dispatch event without trusting them: a
// browser passes some by reference (BeforeNavigate2's URL arrives as a
// reference to a VARIANT), a caller may pass fewer than the event has or
// none at all, and any may be of another type. Every reader answers
// "nothing" for what it cannot read.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "platform/win32/scoped.h"

namespace qv::win32 {

// Argument index of the event's declaration (0 is the first declared
// argument; COM passes the last one first), with references to VARIANTs
// followed; null when the block has no such argument.
const VARIANT* EventArgument(const DISPPARAMS* params, unsigned index);

// The object an argument holds (VT_DISPATCH or VT_UNKNOWN, also by
// reference), with a reference of its own; empty for anything else.
ComRef<IDispatch> DispatchArgument(const DISPPARAMS* params, unsigned index);

// The text of a VT_BSTR argument (also by reference); false for any other.
bool TextArgument(const DISPPARAMS* params, unsigned index, std::wstring* text);

// The VARIANT_BOOL an out-argument points to (VT_BYREF | VT_BOOL); null
// for any other.
VARIANT_BOOL* BoolReferenceArgument(const DISPPARAMS* params, unsigned index);

}  // namespace qv::win32
