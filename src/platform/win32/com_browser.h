// Adapters from the browser's COM objects to the browser and document seams.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <memory>

#include "platform/browser.h"
#include "platform/document.h"

namespace qv::win32 {

// Both add their own reference to the object they wrap.
std::unique_ptr<Browser> WrapWebBrowser(IWebBrowser2* browser);
std::shared_ptr<Document> WrapDocument(IHTMLDocument2* document);

}  // namespace qv::win32
