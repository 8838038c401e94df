// The usual way to write this converter: std::ifstream reading one number at
// a time, std::ofstream with << and std::endl for every line.
#include <cstring>
#include <fstream>

namespace {
const char* const labels[12] = {"stack_ncols", "nrows", "xll", "yll", "cellsize", "nodata_value",
                                "cnt", "min", "max", "sum", "average", "numlevels"};

template <typename Number>
void convert(std::ifstream& input, std::ofstream& output) {
    Number value;
    for (const char* label : labels) {
        input.read(reinterpret_cast<char*>(&value), sizeof value);
        output << label << '\t' << value << std::endl;
    }
    while (input.read(reinterpret_cast<char*>(&value), sizeof value)) output << value << std::endl;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 1;
    std::ifstream input(argv[1], std::ios::binary);
    char probe[96] = {};
    input.read(probe, sizeof probe);
    double double_nodata;
    float single_nodata;
    std::memcpy(&double_nodata, probe + 40, 8);
    std::memcpy(&single_nodata, probe + 20, 4);
    input.seekg(0);
    std::ofstream output(argv[2]);
    if (double_nodata == -9999.0)
        convert<double>(input, output);
    else if (single_nodata == -9999.0f)
        convert<float>(input, output);
    else
        return 98;
    return 0;
}
