// The favorites at 1,000 entries: loading them at start-up (the file parsed
// anew), saving them as one rewrite, and opening the favorites menu.
#include <QApplication>
#include <QMenu>

#include "BenchViewer.h"
#include "favorites/FavoritesStore.h"

namespace orv::bench {
namespace {

constexpr int kCount = 1000;

std::vector<tPageInfo> ManyFavorites() {
    std::vector<tPageInfo> list;
    for (int i = 0; i < kCount; ++i)
        list.push_back({"Favorite number " + std::to_string(i), i % 3 - 1, i % 60, 0x100 + i % 0x7FF, i % 4,
                        i % 2 == 0, "Station " + std::to_string(i % 60)});
    return list;
}

void BM_LoadFavorites(benchmark::State& state) {
    const auto path = BenchFolder() / "registry.reg";
    Registry writer(path.string());
    SaveFavorites(writer, ManyFavorites());
    for (auto _ : state) {
        const Registry registry(path.string());  // a new object: the file is parsed as at start-up
        const auto loaded = LoadFavorites(registry);
        if (loaded.size() != kCount) state.SkipWithError("not all favorites loaded");
    }
    std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_LoadFavorites)->Unit(benchmark::kMillisecond);

void BM_SaveFavorites(benchmark::State& state) {
    const auto path = BenchFolder() / "registry.reg";
    Registry registry(path.string());
    auto list = ManyFavorites();
    for (auto _ : state) {
        list[0].SubPageNr ^= 1;  // a change each time, so that the file is rewritten
        if (!SaveFavorites(registry, list)) state.SkipWithError("save failed");
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_SaveFavorites)->Unit(benchmark::kMillisecond);

void BM_OpenFavoritesMenu(benchmark::State& state) {
    BenchViewer viewer(16000, [](Registry& registry) { SaveFavorites(registry, ManyFavorites()); });
    TMainForm& form = *viewer.Form;
    if (form.Favorites().size() != kCount) state.SkipWithError("favorites not loaded");
    for (auto _ : state) {
        // The menu, then its "Select favorite" list, as the user opens them.
        form.pmFavoriten->popup(form.mapToGlobal(QPoint(400, 400)));
        QApplication::processEvents();
        form.pmFavoriteBase->popup(form.mapToGlobal(QPoint(420, 420)));
        QApplication::processEvents();
        form.pmFavoriteBase->hide();
        form.pmFavoriten->hide();
    }
    state.counters["items"] = static_cast<double>(form.pmFavoriteBase->actions().size());
}
BENCHMARK(BM_OpenFavoritesMenu)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) { return orv::bench::RunWindowBenchmarks(argc, argv); }
