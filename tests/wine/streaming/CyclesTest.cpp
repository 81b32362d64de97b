// Many start/stop cycles, and buffers made and disposed again, leave no
// handle and no memory behind.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Bytes in use in every heap of the process.
SIZE_T heapBytesInUse()
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    SIZE_T total = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

// Handles this process holds, from the system's handle table (Wine's
// GetProcessHandleCount always answers 0).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandles {
    ULONG count;
    SystemHandleEntry entries[1];
};

DWORD handleCount()
{
    typedef LONG(WINAPI * QuerySystem)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<BYTE> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* handles = reinterpret_cast<const SystemHandles*>(buffer.data());
            DWORD mine = 0;
            for (ULONG i = 0; i < handles->count; ++i) {
                if (handles->entries[i].ownerPid == GetCurrentProcessId())
                    ++mine;
            }
            return mine;
        }
        buffer.resize(buffer.size() * 4);
    }
    return 0;
}

class Cycles : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
        initDriver();
    }
    void cycle(int switches)
    {
        const int before = host_.switches.load();
        ASSERT_EQ(asio_->start(), ASE_OK);
        ASSERT_TRUE(waitForSwitches(before + switches, 5000));
        ASSERT_EQ(asio_->stop(), ASE_OK);
    }
};

TEST_F(Cycles, StartStopLeaksNothing)
{
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 128), ASE_OK);
    cycle(3);  // warm-up: first-use allocations of the runtime and the simulator
    const DWORD handles = handleCount();
    const SIZE_T bytes = heapBytesInUse();
    ASSERT_GT(handles, 0u) << "the process handle count is readable";
    ASSERT_GT(bytes, 0u) << "the heaps are walkable";
    for (int i = 0; i < 40; ++i)
        cycle(2);
    EXPECT_LE(handleCount(), handles + 2) << "handles before: " << handles;
    // A leak of the smallest kind (a thread, a header, a host buffer) per cycle
    // would add up to far more than this over 40 cycles.
    EXPECT_LT(heapBytesInUse(), bytes + 16 * 1024) << "bytes before: " << bytes;
}

TEST_F(Cycles, BuffersMadeAndDisposedLeakNothing)
{
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 6144), ASE_OK);
    cycle(1);
    ASSERT_EQ(asio_->disposeBuffers(), ASE_OK);
    const DWORD handles = handleCount();
    const SIZE_T bytes = heapBytesInUse();
    for (int i = 0; i < 20; ++i) {
        // 4 channels of 6144 frames are 196 KB a time.
        ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 6144), ASE_OK);
        if (i % 5 == 0)
            cycle(1);
        ASSERT_EQ(asio_->disposeBuffers(), ASE_OK);
    }
    EXPECT_LE(handleCount(), handles + 2);
    EXPECT_LT(heapBytesInUse(), bytes + 16 * 1024);
}

}  // namespace
