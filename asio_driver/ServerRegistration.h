// Self-registration of the COM class and the ASIO driver entry.
// Results: 0, or -101 (module not loaded under its name), -102 (empty module
// path), -103 (class id to string failed), -104 (string to ANSI failed).
#pragma once

#include <windows.h>

namespace rk50 {

int registerServer(const CLSID& classId, const char* moduleName, const char* asioName,
                   const char* description, const char* threadingModel);
int unregisterServer(const CLSID& classId, const char* moduleName, const char* asioName);

// Braced string form of a class id in ANSI: 0, -103 or -104 as above.
int classIdToString(const CLSID& classId, char* text, int capacity);

}  // namespace rk50
