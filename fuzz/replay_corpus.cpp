// Runs the fuzz target once on each file named, as libFuzzer does when it is
// given files: where no libFuzzer is at hand, the target is still built and
// its seeds still checked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        std::ifstream file(argv[index], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[index]);
            return 1;
        }
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("%s: %zu bytes, checked\n", argv[index], bytes.size());
    }
    return argc > 1 ? 0 : 1;
}
