// rk50host: a small ASIO host for trying the driver from the command line.
//   rk50host info [--driver NAME]   what the driver reports before streaming
#include "DriverLoader.h"
#include "InfoReport.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kDefaultDriver[] = "Varnel RK50 ASIO";

int usage()
{
    fprintf(stderr, "usage: rk50host info [--driver NAME]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const char* command = argv[1];
    const char* driverName = kDefaultDriver;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--driver") == 0 && i + 1 < argc)
            driverName = argv[++i];
        else
            return usage();
    }
    if (strcmp(command, "info") != 0)
        return usage();

    rk50host::DriverLoader loader;
    if (!loader.load(driverName)) {
        fprintf(stderr, "rk50host: %s\n", loader.errorText());
        return 3;
    }
    int result = rk50host::printDriverInfo(loader.driver(), stdout);
    fflush(stdout);
    return result;
}
