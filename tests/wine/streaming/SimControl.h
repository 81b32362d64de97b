// The converter simulator's control functions, taken from the rk50sim.dll
// that the simulator flavour of the driver has loaded into the test process.
#pragma once

#include "sim/rk50sim.h"

#include <windows.h>

#include <type_traits>

namespace rk50test {

struct SimControl {
    decltype(&rk50simSetPlugged) setPlugged = nullptr;
    decltype(&rk50simReadCounters) readCounters = nullptr;
    decltype(&rk50simResetCounters) resetCounters = nullptr;
    decltype(&rk50simSetSource) setSource = nullptr;
    decltype(&rk50simFailCall) failCall = nullptr;
    decltype(&rk50simSetCapture) setCapture = nullptr;

    // False when rk50sim.dll is not loaded or lacks a function.
    bool load()
    {
        HMODULE sim = GetModuleHandleA("rk50sim.dll");
        if (!sim)
            return false;
        auto get = [sim](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                reinterpret_cast<void*>(GetProcAddress(sim, name)));
            return function != nullptr;
        };
        return get(setPlugged, "rk50simSetPlugged") && get(readCounters, "rk50simReadCounters") &&
               get(resetCounters, "rk50simResetCounters") && get(setSource, "rk50simSetSource") &&
               get(failCall, "rk50simFailCall") && get(setCapture, "rk50simSetCapture");
    }
};

}  // namespace rk50test
