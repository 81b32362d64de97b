// rk50host's command line, parsed without any Windows call.
#pragma once

namespace rk50host {

enum class Command { None, Info, Play, Record, Loopback };

struct CommandLine {
    Command command = Command::None;
    const char* driverName = "Varnel RK50 ASIO";
    double rate = 48000;
    int bits = 0;
    long bufferFrames = 0;
    double seconds = 3;
    double toneHz = 0;              // play: a tone instead of a file
    const char* playPath = nullptr; // play: the WAV file
    const char* recordPath = nullptr;
};

// False with a short reason for anything it does not understand.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, const char** why);

extern const char kUsage[];

}  // namespace rk50host
