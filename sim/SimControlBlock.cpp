#include "SimControlBlock.h"

#include <mutex>

namespace rk50sim {

namespace {

std::once_flag opened;
ControlBlock* block = nullptr;
// Used when the mapping cannot be made, so callers never see null.
ControlBlock fallback = {kControlMagic};

void openBlock()
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(ControlBlock), kControlBlockName);
    if (!mapping) {
        OutputDebugStringA("rk50sim: cannot create the control block; using a private one\n");
        block = &fallback;
        return;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ControlBlock));
    if (!view) {
        CloseHandle(mapping);
        block = &fallback;
        return;
    }
    // The mapping and its view live as long as the process: the block must
    // outlast every stream thread that reads it.
    block = static_cast<ControlBlock*>(view);
    InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&block->magic),
                               static_cast<LONG>(kControlMagic), 0);
}

}  // namespace

ControlBlock& controlBlock()
{
    std::call_once(opened, openBlock);
    return *block;
}

bool converterPlugged()
{
    return InterlockedCompareExchange(&controlBlock().unplugged, 0, 0) == 0;
}

}  // namespace rk50sim
