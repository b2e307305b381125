// Reading a large registry file: 100,000 sibling keys in sorted and in
// reverse order must cost about the same (n log n, not n squared).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/Registry.h"

namespace orv::bench {
namespace {

void BM_ReadSiblingKeys(benchmark::State& state, bool reverse) {
    const int count = static_cast<int>(state.range(0));
    const auto path = std::filesystem::temp_directory_path() / ("orvtt-bench-reg-" + std::to_string(::getpid()));
    {
        std::ofstream out(path);
        out << "REGEDIT4\n\n";
        for (int i = 0; i < count; ++i) {
            const int n = reverse ? count - 1 - i : i;
            out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Keys\\K" << 1000000 + n << "]\n\"v\"=dword:" << std::hex << n
                << std::dec << "\n\n";
        }
    }
    for (auto _ : state) {
        Registry registry(path.string());  // a new object: no parse cache
        benchmark::DoNotOptimize(registry.ValueNames("SOFTWARE\\Keys\\K1000000"));
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + ".lock");
}
BENCHMARK_CAPTURE(BM_ReadSiblingKeys, sorted, false)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadSiblingKeys, reverse, true)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv::bench
