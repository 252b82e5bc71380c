// Simulated Quillons at the real line rate for the benchmarks, in a process of their own so
// that their CPU time is never counted as the tool's:
//   quillon-bench-units COUNT
// prints the devices' paths, one a line, then an empty line; each line read from standard
// input then sets every device back to the factory numbers and is answered with "ready". Ends
// when standard input closes.
#include "sim/simulatedquillon.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace quillon;

int main(int argc, char *argv[])
{
    const int count = argc == 2 ? std::atoi(argv[1]) : 0;
    if (count <= 0) {
        std::fprintf(stderr, "usage: quillon-bench-units COUNT\n");
        return 2;
    }
    std::vector<std::unique_ptr<SimulatedQuillon>> devices;
    for (int i = 0; i < count; ++i) {
        devices.push_back(std::make_unique<SimulatedQuillon>());
        devices.back()->setPacing(SimulatedQuillon::Pacing::LineRate);
        std::printf("%s\n", devices.back()->devicePath().c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        DeviceSettings factory;
        factory.mac = {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x00};
        for (const auto &device : devices) {
            device->setSettings(factory);
        }
        std::printf("ready\n");
        std::fflush(stdout);
    }
    return 0;
}
