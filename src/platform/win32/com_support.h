// The ANSI/wide text conversions at the boundary between the seams (ANSI
// strings) and COM (wide strings). The owners of BSTRs and VARIANTs are in
// scoped.h.
#pragma once

#include <string>

namespace qv::win32 {

std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, int length = -1);

}  // namespace qv::win32
