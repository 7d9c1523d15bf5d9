// The glb of the largest model written to a file, against copying a file of
// the same bytes (what `cp` does), and the writer alone into memory.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "export/gltf.h"
#include "largest_model.h"

namespace {

const kon::KonModell& Model() {
    static const kon::KonModell model = kon::bench::LargestModel();
    return model;
}

std::filesystem::path Scratch(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

void BM_WriteGlbFile(benchmark::State& state) {
    const auto path = Scratch("kon-export-bench.glb");
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        kon::WriteGltf(Model(), out, kon::GltfForm::kBinary);
        out.close();
        if (!out) state.SkipWithError("glb not written");
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_WriteGlbFile)->Unit(benchmark::kMillisecond);

void BM_CopyGlbFile(benchmark::State& state) {
    const auto from = Scratch("kon-export-bench-source.glb");
    const auto to = Scratch("kon-export-bench-copy.glb");
    {
        std::ofstream out(from, std::ios::binary | std::ios::trunc);
        kon::WriteGltf(Model(), out, kon::GltfForm::kBinary);
    }
    for (auto _ : state) {
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(from)));
}
BENCHMARK(BM_CopyGlbFile)->Unit(benchmark::kMillisecond);

void BM_WriteGlbMemory(benchmark::State& state) {
    for (auto _ : state) {
        std::ostringstream out;
        kon::WriteGltf(Model(), out, kon::GltfForm::kBinary);
        benchmark::DoNotOptimize(out.str().size());
    }
}
BENCHMARK(BM_WriteGlbMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
