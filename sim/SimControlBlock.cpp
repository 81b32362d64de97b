#include "SimControlBlock.h"

#include <mutex>

namespace rk50sim {

namespace {

std::once_flag opened;
ControlBlock* block = nullptr;
// Used when the mapping cannot be made, so callers never see null.
ControlBlock fallback = {};

void useFallback()
{
    fallback.magic = kControlMagic;
    block = &fallback;
}

void openBlock()
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(ControlBlock), kControlBlockName);
    if (!mapping) {
        OutputDebugStringA("rk50sim: cannot create the control block; using a private one\n");
        useFallback();
        return;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ControlBlock));
    if (!view) {
        CloseHandle(mapping);
        useFallback();
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

LONG readField(volatile LONG& field)
{
    return InterlockedCompareExchange(&field, 0, 0);
}

bool injectedFault(MMRESULT& result)
{
    ControlBlock& control = controlBlock();
    const LONG call = InterlockedIncrement(&control.waveCallsSinceFailSet);
    const LONG target = readField(control.failCallAfter);
    if (target <= 0 || call != target)
        return false;
    // Only the caller that disarms it fails, so one fault fires once.
    if (InterlockedCompareExchange(&control.failCallAfter, 0, target) != target)
        return false;
    InterlockedIncrement(&control.faultsInjected);
    result = static_cast<MMRESULT>(readField(control.failResult));
    return true;
}

}  // namespace rk50sim
