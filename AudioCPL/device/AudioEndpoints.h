// Finding the converter's audio endpoints through the platform's device
// enumerator (Windows Vista and 7).
#pragma once

#include <windows.h>

namespace rk50 {

constexpr int kMaxEndpoints = 4;
constexpr int kEndpointIdChars = 260;  // 259 characters and the terminator
typedef wchar_t EndpointId[kEndpointIdChars];

enum EndpointDirection { EndpointRender = 0, EndpointCapture = 1 };

// Stores the identifiers of the active endpoints of a direction whose
// device-instance path contains matchText (compared in upper case), at most
// kMaxEndpoints of them. An identifier that cannot be read is stored empty.
// True when at least one endpoint matched.
bool FindAudioEndpoints(const char* matchText, int direction, EndpointId* table, int& count);

}  // namespace rk50
