// The vendor's site: where the toolbar's files and its after-install,
// after-update and after-uninstall pages live. The address is chosen when
// the product is built (the QV_VENDOR_BASE_URL CMake variable) and may be
// replaced while the process runs: by tests, which serve the files on
// loopback, and by the definition tool's --base-url.
#pragma once

#include <string>

#ifndef QV_VENDOR_BASE_URL
#define QV_VENDOR_BASE_URL "https://www.ostrivel.com/"
#endif

namespace qv {

// The address the build chose: an http or https URL ending in "/".
inline constexpr char kBuiltInVendorBaseUrl[] = QV_VENDOR_BASE_URL;

// The address in force: the one given to SetVendorBaseUrl, else the
// environment variable QUORVANE_BASE_URL when it holds a valid address,
// else the built-in one.
std::string VendorBaseUrl();
// False (and nothing changes) unless url is an http or https URL ending in
// "/". An empty url goes back to the default.
bool SetVendorBaseUrl(const std::string& url);
bool IsValidBaseUrl(const std::string& url);

// VendorBaseUrl() + "quorvane/" + path: a resource file or a page.
std::string VendorUrl(const std::string& path);

}  // namespace qv
