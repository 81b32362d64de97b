#include "PortRing.h"

namespace rk50 {

PortRingMapping inputRings[kMaxPorts];
PortRingMapping outputRings[kMaxPorts];

bool openPortRing(const char* name, PortRingMapping& ring)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping)
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(PortRing), name);
    if (!mapping)
        return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    ring.mapping = mapping;
    ring.view = static_cast<PortRing*>(view);
    return true;
}

void closePortRing(PortRingMapping& ring)
{
    if (ring.view)
        UnmapViewOfFile(ring.view);
    if (ring.mapping)
        CloseHandle(ring.mapping);
    ring = PortRingMapping{};
}

}  // namespace rk50
