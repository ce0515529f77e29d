// COM classes that live in modules of their own: shared libraries that
// export DllGetClassObject (ClassFactory.h). A module is looked for only
// where it is installed, the folder that holds libzuk.so, as a class is
// found where it is registered and not by a library search. It is loaded
// on the first creation of one of its classes and stays loaded for the life
// of the process, since objects of it may outlive any caller.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

#include <string>

// Creates an object of a module's class, as CoCreateInstance does for the
// classes of its table. REGDB_E_CLASSNOTREG when `clsid` belongs to no
// module, or its module is absent or exports no DllGetClassObject; else what
// the module's factory returns. Any thread may call it.
HRESULT createFromComModule(REFCLSID clsid, REFIID iid, void** object);

// A folder looked in before the one of libzuk.so (empty: none), for tests
// that show a module both absent and present in one process. It also
// forgets, and unloads, every module loaded so far: no object of a module
// may be alive then, nor any creation under way.
void setComModuleFolderForTesting(std::string folder);
