// Finding the kernel-streaming topology interface of the converter's driver.
#pragma once

namespace rk50 {

constexpr int kDevicePathChars = 260;
constexpr char kDriverServiceName[] = "VarnelRK50";

// Fills path with the first topology interface of the first present topology
// device whose driver service is exactly kDriverServiceName. False (path
// empty) when there is none or the path would not fit.
bool FindTopologyInterface(char (&path)[kDevicePathChars]);

}  // namespace rk50
