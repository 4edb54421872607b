// A small JSON writer for the host's one result object.
#pragma once

#include <string>

namespace qv::testhost {

std::string JsonString(const std::string& utf8);
std::string JsonString(const std::wstring& text);
std::string Utf8(const std::wstring& text);

}  // namespace qv::testhost
