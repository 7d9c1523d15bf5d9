// The hashed edge tally against the plain linear scan on the edges of the
// largest model, DeriveLines as a whole, and DeriveLines on one long polygon
// to show that its cost grows linearly with the corners; edges crafted to
// collide against random ones.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "largest_model.h"
#include "linear_kanten_liste.h"
#include "model/derive_lines.h"
#include "model/kanten_liste.h"
#include "support/crafted_edges.h"

namespace {

template <typename Tally>
void CountAll(Tally& tally, const std::vector<kon::test::Edge>& edges) {
    for (const auto& [a, b] : edges) tally.Count(a, b);
}

void SetCounters(benchmark::State& state, std::size_t edges, std::size_t entries) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(edges));
    state.counters["edges"] = static_cast<double>(edges);
    state.counters["distinct"] = static_cast<double>(entries);
}

void BM_TallyHashed(benchmark::State& state) {
    const std::vector<kon::test::Edge> edges = kon::bench::PolygonEdges(kon::bench::LargestModel());
    std::size_t entries = 0;
    for (auto _ : state) {
        kon::KantenListe tally(edges.size());
        CountAll(tally, edges);
        const std::vector<kon::Kante> kanten = tally.TakeKanten();
        entries = kanten.size();
        benchmark::DoNotOptimize(kanten.data());
    }
    SetCounters(state, edges.size(), entries);
}
BENCHMARK(BM_TallyHashed)->Unit(benchmark::kMillisecond);

void BM_TallyLinear(benchmark::State& state) {
    const std::vector<kon::test::Edge> edges = kon::bench::PolygonEdges(kon::bench::LargestModel());
    std::size_t entries = 0;
    for (auto _ : state) {
        kon::bench::LinearKantenListe tally;
        CountAll(tally, edges);
        entries = tally.Kanten().size();
        benchmark::DoNotOptimize(tally.Kanten().data());
    }
    SetCounters(state, edges.size(), entries);
}
BENCHMARK(BM_TallyLinear)->Unit(benchmark::kMillisecond);

void BM_DeriveLinesLargest(benchmark::State& state) {
    kon::KonModell model = kon::bench::LargestModel();
    for (auto _ : state) {
        kon::DeriveLines(model);
        benchmark::DoNotOptimize(model.StrichLinien.data());
    }
    SetCounters(state, kon::bench::PolygonEdges(model).size(),
                model.Linien.size() + model.StrichLinien.size());
}
BENCHMARK(BM_DeriveLinesLargest)->Unit(benchmark::kMillisecond);

void BM_DeriveLinesLongPolygon(benchmark::State& state) {
    const auto corners = static_cast<std::size_t>(state.range(0));
    kon::KonModell model = kon::bench::LongPolygonModel(corners);
    for (auto _ : state) {
        kon::DeriveLines(model);
        benchmark::DoNotOptimize(model.Linien.data());
    }
    SetCounters(state, corners, model.Linien.size() + model.StrichLinien.size());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeriveLinesLongPolygon)
    ->Arg(1'250'000)
    ->Arg(2'500'000)
    ->Arg(5'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Edges chosen to collide under the tally's former fixed hash against random
// edges of the same number: the two figures must stay within a small factor.
void BM_TallyCrafted(benchmark::State& state) {
    // Crafting walks the whole key space once; the runs of one case share it.
    static std::map<std::pair<std::int64_t, std::int64_t>, std::vector<kon::test::Edge>> made;
    auto& edges = made[{state.range(0), state.range(1)}];
    if (edges.empty()) {
        const auto count = static_cast<std::size_t>(state.range(0));
        edges =
            state.range(1) != 0 ? kon::test::CraftedEdges(count) : kon::test::RandomEdges(count);
    }
    for (auto _ : state) {
        kon::KantenListe tally(edges.size());
        CountAll(tally, edges);
        benchmark::DoNotOptimize(tally.TakeKanten().data());
    }
    SetCounters(state, edges.size(), edges.size());
}
BENCHMARK(BM_TallyCrafted)
    ->ArgNames({"edges", "crafted"})
    ->ArgsProduct({{100'000, 400'000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
