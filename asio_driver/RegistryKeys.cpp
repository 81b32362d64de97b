#include "RegistryKeys.h"

#include <cstdio>
#include <cstring>

namespace rk50 {

int keyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int createSubkey(HKEY root, const char* parentPath, const char* name)
{
    char path[kRegistryPathBytes];
    snprintf(path, sizeof path, "%s\\%s", parentPath, name);
    if (keyExists(root, path))
        return 0;
    HKEY parent = nullptr;
    if (RegOpenKeyA(root, parentPath, &parent) != ERROR_SUCCESS)
        return -1;
    HKEY created = nullptr;
    LONG status = RegCreateKeyA(parent, name, &created);
    if (status == ERROR_SUCCESS)
        RegCloseKey(created);
    RegCloseKey(parent);
    return status == ERROR_SUCCESS ? 0 : -1;
}

int setStringValue(HKEY root, const char* path, const char* valueName, const char* text)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS)
        return -1;
    LONG status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(strlen(text)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : -1;
}

int readStringValue(HKEY root, const char* path, const char* valueName, char* buffer,
                    DWORD capacity)
{
    if (!buffer || capacity == 0)
        return -1;
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS)
        return -1;
    int result = -1;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size <= capacity) {
        // The stored bytes need not end in a zero; leave room to add one.
        DWORD readSize = capacity - 1;
        if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &readSize) == ERROR_SUCCESS) {
            buffer[readSize < capacity ? readSize : capacity - 1] = '\0';
            result = 0;
        }
    }
    RegCloseKey(key);
    return result;
}

namespace {

// Removes name below parent after its subkeys; returns the number of keys deleted.
int deleteSubtree(HKEY parent, const char* name, int depth)
{
    // The class and ASIO keys are two levels deep; a runaway depth means a loop.
    if (depth > 32)
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    int deleted = 0;
    char child[kRegistryPathBytes];
    DWORD index = 0;
    // Deleting shifts the indexes down; a child that will not go is stepped over.
    while (RegEnumKeyA(key, index, child, sizeof child) == ERROR_SUCCESS) {
        int below = deleteSubtree(key, child, depth + 1);
        deleted += below;
        if (keyExists(key, child))
            ++index;
    }
    RegCloseKey(key);
    if (RegDeleteKeyA(parent, name) == ERROR_SUCCESS)
        ++deleted;
    return deleted;
}

}  // namespace

int deleteKeyTree(HKEY root, const char* parentPath, const char* name)
{
    HKEY parent = nullptr;
    if (RegOpenKeyExA(root, parentPath, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return -1;
    int deleted = deleteSubtree(parent, name, 0);
    RegCloseKey(parent);
    return deleted > 0 ? 0 : -1;
}

}  // namespace rk50
