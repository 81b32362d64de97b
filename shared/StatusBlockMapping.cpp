#include "StatusBlockMapping.h"

#include <cstring>

namespace rk50 {

bool openStatusBlockMapping(StatusBlockMapping& block)
{
    block = StatusBlockMapping{};
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kStatusBlockName);
    bool created = false;
    if (!mapping || mapping == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_SUCCESS);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(AsioStatusBlock), kStatusBlockName);
        if (!mapping || mapping == INVALID_HANDLE_VALUE)
            return false;
        // Another process may have created it between our open and create.
        created = GetLastError() != ERROR_ALREADY_EXISTS;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    block.mapping = mapping;
    block.view = static_cast<AsioStatusBlock*>(view);
    block.created = created;
    if (created) {
        memset(block.view, 0, sizeof(AsioStatusBlock));
        block.view->magic = kStatusBlockMagic;
    }
    return true;
}

void closeStatusBlockMapping(StatusBlockMapping& block)
{
    if (block.view)
        UnmapViewOfFile(block.view);
    if (block.mapping)
        CloseHandle(block.mapping);
    block = StatusBlockMapping{};
}

}  // namespace rk50
