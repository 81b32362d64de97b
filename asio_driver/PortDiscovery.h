#pragma once

namespace rk50 {

// The device instance id (ANSI, upper case) behind a device-interface path;
// empty when the path does not have the three '#' of an interface path or
// does not fit capacity.
void interfacePathToInstanceId(const wchar_t* path, char* output, int capacity);

// The friendly name SetupAPI keeps for a device instance; empty when none.
void lookUpFriendlyName(const char* instanceId, char* output, int capacity);

}  // namespace rk50
