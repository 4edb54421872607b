// Downloads through the network seam, bounded in time and size: a page read
// into text (the desktop alerts), and a file fetched into place without ever
// leaving a half-written file where a good one was.
#pragma once

#include <string>

#include "platform/network.h"

namespace qv {

// The bounds every download of the toolbar gets unless a test changes them.
FetchLimits DownloadLimits();
void SetDownloadLimits(const FetchLimits& limits);

// Reads the resource at url completely into *text. False when it could not
// be read whole (no connection, an HTTP error page, cut off, too slow, too
// large): *text is then empty and *error, when given, says why.
bool DownloadUrlText(const std::string& url, std::string* text, std::string* error = nullptr);

// Downloads url into a temporary file beside path and moves it over path
// only when the transfer completed with an HTTP success status. On failure
// path is as it was before and the temporary file is gone.
bool DownloadUrlToFile(const std::string& url, const std::string& path,
                       std::string* error = nullptr);

}  // namespace qv
