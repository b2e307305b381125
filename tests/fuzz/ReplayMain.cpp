// Runs a fuzz target over every file of the folders given, in name order: the
// seed inputs and the inputs that once crashed it, as a regression test where
// there is no libFuzzer (g++ builds). A missing folder is skipped; a folder
// that is there but cannot be read fails the run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzTarget.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (!fs::exists(argv[i], ec)) continue;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(argv[i], ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec)) files.push_back(it->path());
        if (ec) {
            std::fprintf(stderr, "%s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (in.bad()) {
                std::fprintf(stderr, "%s: cannot read\n", file.c_str());
                return 1;
            }
            std::printf("%s\n", file.c_str());
            std::fflush(stdout);  // so that a crash shows which input it was
            // libFuzzer never hands over a null pointer, not even for no bytes.
            static const std::uint8_t kNone = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNone : reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++inputs;
        }
    }
    std::printf("%zu inputs\n", inputs);
    return inputs ? 0 : 1;
}
