#include "CommandLine.h"

#include <cstdlib>
#include <cstring>

namespace rk50host {

const char kUsage[] =
    "usage: rk50host info [--driver NAME]\n"
    "       rk50host play (FILE.wav | --tone HZ) [options]\n"
    "       rk50host record FILE.wav [options]\n"
    "       rk50host loopback [--record FILE.wav] [options]\n"
    "options: --driver NAME  --rate HZ  --bits 16|24|32  --buffer FRAMES  --seconds S\n";

namespace {

bool toNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = strtod(text, &end);
    return end != text && *end == '\0';
}

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, const char** why)
{
    const char* ignored = nullptr;
    const char*& reason = why ? *why : ignored;
    line = CommandLine();
    if (argc < 2) {
        reason = "no command";
        return false;
    }
    const char* command = argv[1];
    if (strcmp(command, "info") == 0)
        line.command = Command::Info;
    else if (strcmp(command, "play") == 0)
        line.command = Command::Play;
    else if (strcmp(command, "record") == 0)
        line.command = Command::Record;
    else if (strcmp(command, "loopback") == 0)
        line.command = Command::Loopback;
    else {
        reason = "unknown command";
        return false;
    }
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (arg[0] != '-' || arg[1] != '-') {
            // The one positional argument: the file to play or to record.
            if (line.command == Command::Play && !line.playPath)
                line.playPath = arg;
            else if (line.command == Command::Record && !line.recordPath)
                line.recordPath = arg;
            else {
                reason = "unexpected argument";
                return false;
            }
            continue;
        }
        if (!hasValue) {
            reason = "option without a value";
            return false;
        }
        const char* value = argv[++i];
        if (strcmp(arg, "--driver") == 0) {
            line.driverName = value;
        } else if (strcmp(arg, "--record") == 0 && line.command == Command::Loopback) {
            line.recordPath = value;
        } else if (!toNumber(value, number)) {
            reason = "not a number";
            return false;
        } else if (strcmp(arg, "--rate") == 0 && number > 0) {
            line.rate = number;
        } else if (strcmp(arg, "--bits") == 0 && (number == 16 || number == 24 || number == 32)) {
            line.bits = static_cast<int>(number);
        } else if (strcmp(arg, "--buffer") == 0 && number >= 1 && number <= 1000000) {
            line.bufferFrames = static_cast<long>(number);
        } else if (strcmp(arg, "--seconds") == 0 && number > 0 && number <= 3600) {
            line.seconds = number;
        } else if (strcmp(arg, "--tone") == 0 && line.command == Command::Play && number > 0) {
            line.toneHz = number;
        } else {
            reason = "unknown option or value out of range";
            return false;
        }
    }
    if (line.command == Command::Info &&
        (line.bits || line.bufferFrames || line.recordPath || line.rate != 48000 || line.seconds != 3)) {
        reason = "info takes only --driver";
        return false;
    }
    if (line.command == Command::Play && !line.playPath && line.toneHz == 0) {
        reason = "play needs a file or --tone";
        return false;
    }
    if (line.command == Command::Play && line.playPath && line.toneHz != 0) {
        reason = "play takes a file or --tone, not both";
        return false;
    }
    if (line.command == Command::Record && !line.recordPath) {
        reason = "record needs a file";
        return false;
    }
    return true;
}

}  // namespace rk50host
