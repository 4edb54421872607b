// The smallest page the band walks: a document with its window, a
// connection point for each event interface the band advises, the
// browser's own UI handler and command target behind the document's client
// site, and a chain of elements under a mouse-down. Built in a translation
// unit of its own from the interfaces' C layouts, so that only the few
// methods the band calls are written out; every other slot answers
// E_NOTIMPL. The calling convention lets a slot ignore its arguments on
// x86_64 only, so the doubles exist in 64-bit builds alone.
#pragma once
#if defined(_WIN32) && defined(_WIN64)

#include <string>
#include <vector>

namespace qv::test {

struct DomPage;

enum class DomPoint { kDocumentEvents, kWindowEvents, kPropertyNotify };

DomPage* NewDomPage();
void DeleteDomPage(DomPage* page);

// The document as an IDispatch (also IHTMLDocument2), with a reference
// for the caller.
void* DomDocument(DomPage* page);
// References held on any of the page's objects by others.
long DomReferences(DomPage* page);
int DomSinkCount(DomPage* page, DomPoint point);
// The UI handler the document was given last (no reference), and how many
// times one was given.
void* DomCustomUiHandler(DomPage* page);
int DomUiHandlerSets(DomPage* page);
// Calls that reached the browser's own UI handler and command target.
int DomDefaultCalls(DomPage* page);

void DomSetReadyState(DomPage* page, const wchar_t* state);
// The tags from the element under the mouse up to the body.
void DomSetClickPath(DomPage* page, const std::vector<std::wstring>& tags);
// A mouse-down on the document; with withEvent false the event object is
// only on the window, as older senders leave it.
void DomFireMouseDown(DomPage* page, bool withEvent);
void DomFireBeforeUnload(DomPage* page);
void DomFireReadyStateChanged(DomPage* page);

}  // namespace qv::test

#endif
