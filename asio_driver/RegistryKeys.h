// Small ANSI registry helpers used by self-registration and controlPanel.
// Results: 0 success, -1 failure (keyExists: 1 exists, 0 not).
#pragma once

#include <windows.h>

namespace rk50 {

constexpr int kRegistryPathBytes = 360;

int keyExists(HKEY root, const char* path);
int createSubkey(HKEY root, const char* parentPath, const char* name);
// valueName null sets the key's default value.
int setStringValue(HKEY root, const char* path, const char* valueName, const char* text);
int readStringValue(HKEY root, const char* path, const char* valueName, char* buffer,
                    DWORD capacity);
// Deletes parentPath\name and everything below it, children first.
int deleteKeyTree(HKEY root, const char* parentPath, const char* name);

}  // namespace rk50
