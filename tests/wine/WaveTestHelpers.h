// What the wave-API tests share: readable names of the results and the
// converter's stream format. Header-only, so programs built against the
// simulator or the system's winmm take it alike.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <string>

namespace rk50test {

inline std::string mmName(MMRESULT code)
{
    switch (code) {
    case MMSYSERR_NOERROR: return "MMSYSERR_NOERROR";
    case MMSYSERR_ERROR: return "MMSYSERR_ERROR";
    case MMSYSERR_BADDEVICEID: return "MMSYSERR_BADDEVICEID";
    case MMSYSERR_ALLOCATED: return "MMSYSERR_ALLOCATED";
    case MMSYSERR_INVALHANDLE: return "MMSYSERR_INVALHANDLE";
    case MMSYSERR_NODRIVER: return "MMSYSERR_NODRIVER";
    case MMSYSERR_NOMEM: return "MMSYSERR_NOMEM";
    case MMSYSERR_NOTSUPPORTED: return "MMSYSERR_NOTSUPPORTED";
    case MMSYSERR_INVALFLAG: return "MMSYSERR_INVALFLAG";
    case MMSYSERR_INVALPARAM: return "MMSYSERR_INVALPARAM";
    case WAVERR_BADFORMAT: return "WAVERR_BADFORMAT";
    case WAVERR_STILLPLAYING: return "WAVERR_STILLPLAYING";
    case WAVERR_UNPREPARED: return "WAVERR_UNPREPARED";
    }
    return "MMRESULT " + std::to_string(code);
}

// Extensible PCM, stereo front left and right; valid 0 means the container's.
inline WAVEFORMATEXTENSIBLE deviceFormat(DWORD rate, WORD container, WORD valid = 0)
{
    WAVEFORMATEXTENSIBLE format = {};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = 2;
    format.Format.nSamplesPerSec = rate;
    format.Format.wBitsPerSample = container;
    format.Format.nBlockAlign = static_cast<WORD>(2 * container / 8);
    format.Format.nAvgBytesPerSec = rate * format.Format.nBlockAlign;
    format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    format.Samples.wValidBitsPerSample = valid ? valid : container;
    format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    format.SubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    return format;
}

}  // namespace rk50test
