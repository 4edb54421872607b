// The one definition of the type library's GUIDs (LIBID, IIDs, CLSIDs); every
// other file sees only their declarations.
#include <windows.h>
#include <ocidl.h>

#include <initguid.h>

#include "quorvane_h.h"
