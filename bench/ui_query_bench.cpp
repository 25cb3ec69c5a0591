// The query result view against what surrounds it, both sides timed in the
// same iteration so that machine noise hits both alike; ratios as counters:
//   FillVsRunQuery       filling ListView1 (model reset, first sort, the view's
//                        layout) with 100,000 rows x 10 columns, against
//                        RunQuery producing them with their rows' paths, as
//                        the window runs it (goal <= 1.0); with the heap the
//                        filled view holds per byte of cell and path text
//                        (goal < 3)
//   HeaderClickVsStableSort  a header click (re-sort, view update) against
//                        std::stable_sort of the same rows with the same
//                        compare rule on the cell texts (goal <= 1.5)
//   QueryTabAtScale/N    the same table at 10^4, 10^5 and 10^6 rows: the fill
//                        and a header click per row (text and number columns,
//                        the click against std::stable_sort as above), the
//                        heap per byte of cell text, and the longest time the
//                        event loop could not run while a fill was shown
//                        (the window's responsiveness; a zero timer ticks at
//                        every turn of the loop)
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <string>

#include "results/cell_order.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/image_list.h"
#include "wbem/repository/provider.h"
#include "wbem/repository/repository.h"
#include "wbem/service/hosts.h"
#include "wmi/bw_wmi.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 100000;
int g_rows = kRows;  // how many rows the next query yields
constexpr const char* kHost = "uibenchhost";
constexpr const char* kQuery = "select * from BenchRow";

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// 100,000 rows (or g_rows) of ten properties: numbers (negative ones too), names, paths,
// dates, booleans and reals, made on demand like a live provider's.
class Rows : public wbem::InstanceProvider {
    class Cursor : public wbem::InstanceCursor {
      public:
        Cursor(std::shared_ptr<const wbem::ClassDef> cls, int rows)
            : cls_(std::move(cls)), rows_(rows) {}
        std::shared_ptr<const wbem::Instance> next() override {
            if (i_ >= rows_) return nullptr;
            const int i = i_++;
            const uint32_t h = uint32_t(i) * 2654435761u;
            auto row = std::make_shared<wbem::Instance>(cls_);
            row->set("Id", wbem::CimValue::uint(uint64_t(i)));
            row->set("Name", wbem::CimValue::string("process-" + std::to_string(h % 5000)));
            row->set("Score", wbem::CimValue::sint(int64_t(h % 2001) - 1000));
            row->set("Path", wbem::CimValue::string("/usr/lib/cimscope/module" +
                                                    std::to_string(h % 977) + ".so"));
            row->set("Size", wbem::CimValue::uint(uint64_t(h) * 4096));
            row->set("Flag", wbem::CimValue::boolean(h & 1));
            row->set("When", wbem::CimValue::string(
                                 "20240131" + std::to_string(100000 + h % 800000) + ".000000+000"));
            row->set("Ratio", wbem::CimValue::real(double(h % 10000) / 7.0));
            row->set("Owner",
                     wbem::CimValue::string(h % 3 ? "root" : "user" + std::to_string(h % 50)));
            row->set("Count", wbem::CimValue::uint(h % 64));
            return row;
        }

      private:
        std::shared_ptr<const wbem::ClassDef> cls_;
        int rows_;
        int i_ = 0;
    };

  public:
    std::unique_ptr<wbem::InstanceCursor> open(const std::shared_ptr<const wbem::ClassDef>& cls,
                                               const wbem::QueryHints&) const override {
        return std::make_unique<Cursor>(cls, g_rows);
    }
};

void registerHost() {
    static const bool done = [] {
        auto repo = wbem::registerTestHost(kHost, R"MOF(
class BenchRow
{
    [key] uint32 Id;
    string Name;
    sint32 Score;
    string Path;
    uint64 Size;
    boolean Flag;
    datetime When;
    real64 Ratio;
    string Owner;
    uint32 Count;
};
)MOF");
        wbem::Repository::Transaction tx(*repo);
        tx.setProvider("root\\cimv2", "BenchRow", std::make_shared<Rows>());
        tx.commit();
        return true;
    }();
    (void)done;
}

struct Result {
    wmi::TextList columns, cells, paths;
    int32_t columnCount = 0, rowCount = 0;
};

Result runQuery(wmi::TWMI& wmi, int rows = kRows) {
    g_rows = rows;
    Result r;
    if (!wmi.RunQuery(kQuery, r.columns, r.cells, r.columnCount, r.rowCount, &r.paths))
        std::fprintf(stderr, "%s\n", wmi.LastError.c_str());
    return r;
}

size_t textBytes(const wmi::TextList& cells) {
    size_t n = 0;
    for (const std::string& c : cells) n += c.size();
    return n;
}

// ListView1 as the window sets it up, shown on the offscreen screen.
struct View {
    std::shared_ptr<const ui::ImageList> images = std::make_shared<const ui::ImageList>();
    ui::ResultModel model{images};
    QTreeView view;
    View() {
        view.setModel(&model);
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.header()->setStretchLastSection(false);
        view.resize(900, 600);
        view.show();
        QApplication::processEvents();
    }
    void settle() {
        view.doItemsLayout();
        QApplication::processEvents();
    }
};

void FillVsRunQuery(benchmark::State& state) {
    registerHost();
    wmi::TWMI wmi;
    wmi.SetHost(kHost);
    View view;
    double fill = 0, query = 0, heapPerByte = 0, modelPerByte = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Result r = runQuery(wmi);
        auto t1 = Clock::now();
        query += seconds(t1 - t0);
        // The rows' object paths are held beside the cells, as text too.
        const size_t text = textBytes(r.cells) + textBytes(r.paths);

        // A fresh view each time, so that its heap is measured on its own; the
        // cells and paths it is given are copies that it takes over and frees.
        auto fresh = std::make_unique<View>();
        wmi::TextList copy = r.cells;
        wmi::TextList pathsCopy = r.paths;
        size_t copyHeap = 0;
        for (const wmi::TextList* list : {&copy, &pathsCopy}) {
            copyHeap += list->capacity() * sizeof(std::string);
            for (const std::string& cell : *list)
                if (cell.capacity() > 15)
                    copyHeap += cell.capacity() + 1;  // beyond the inline buffer
        }
        const size_t baseline = heapInUse() - copyHeap;
        fresh->model.Fill(r.columns, copy, r.columnCount, r.rowCount, 65001, &pathsCopy);
        fresh->settle();
        heapPerByte = double(heapInUse() - baseline) / double(text);
        modelPerByte = double(fresh->model.MemoryBytes()) / double(text);
        fresh.reset();

        // The timed fill: the window's own view, refilled as a new query does.
        auto t2 = Clock::now();
        view.model.Fill(r.columns, r.cells, r.columnCount, r.rowCount, 65001, &r.paths);
        view.settle();
        fill += seconds(Clock::now() - t2);
        benchmark::DoNotOptimize(view.model.Rows());
    }
    state.counters["rows"] = kRows;
    state.counters["fill_s"] = fill / double(state.iterations());
    state.counters["runquery_s"] = query / double(state.iterations());
    state.counters["fill_over_runquery"] = fill / query;
    state.counters["view_heap_per_text_byte"] = heapPerByte;
    state.counters["model_bytes_per_text_byte"] = modelPerByte;
}
BENCHMARK(FillVsRunQuery)->Unit(benchmark::kMillisecond)->Iterations(3);

void HeaderClickVsStableSort(benchmark::State& state) {
    registerHost();
    wmi::TWMI wmi;
    wmi.SetHost(kHost);
    Result r = runQuery(wmi);
    const size_t c = size_t(r.columnCount);
    const wmi::TextList cells = r.cells;  // the rows as plain texts, for the baseline
    View view;
    view.model.Fill(r.columns, r.cells, r.columnCount, r.rowCount, 65001);
    view.settle();

    auto columnOf = [&](const char* name) {
        return int(std::find(r.columns.begin(), r.columns.end(), name) - r.columns.begin());
    };
    const int id = columnOf("Id");  // holds the row's position in the result
    // Text and number columns in turn, each clicked twice (both directions).
    const int columns[] = {columnOf("Name"),  columnOf("Name"), columnOf("Score"),
                           columnOf("Score"), columnOf("Path"), columnOf("Path"),
                           columnOf("Count"), columnOf("Count")};
    double click = 0, baseline = 0;
    size_t step = 0;
    for (auto _ : state) {
        const int column = columns[step++ % std::size(columns)];
        // The baseline sorts the rows in the order the view shows them now, by
        // the column and direction the click is about to use.
        const bool ascending = column == view.model.SortColumn() ? !view.model.SortAscending()
                                                                 : view.model.SortAscending();
        std::vector<const std::string*> rows(size_t(view.model.Rows()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = &cells[std::stoul(std::string(view.model.Cell(int(i), id))) * c];
        auto t0 = Clock::now();
        std::stable_sort(rows.begin(), rows.end(), [&](const std::string* a, const std::string* b) {
            return results::compareCells(a[column], b[column], ascending) < 0;
        });
        auto t1 = Clock::now();
        view.model.ColumnClick(column);
        view.settle();
        auto t2 = Clock::now();
        baseline += seconds(t1 - t0);
        click += seconds(t2 - t1);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["click_s"] = click / double(state.iterations());
    state.counters["stable_sort_s"] = baseline / double(state.iterations());
    state.counters["click_over_stable_sort"] = click / baseline;
}
BENCHMARK(HeaderClickVsStableSort)->Unit(benchmark::kMillisecond)->Iterations(8);

// The result of the query at `rows` rows, made once per run.
const Result& resultAt(int rows, double& runQuerySeconds) {
    static std::map<int, std::pair<Result, double>> made;
    auto it = made.find(rows);
    if (it == made.end()) {
        registerHost();
        wmi::TWMI wmi;
        wmi.SetHost(kHost);
        const auto t0 = Clock::now();
        Result r = runQuery(wmi, rows);
        const double took = seconds(Clock::now() - t0);
        it = made.emplace(rows, std::make_pair(std::move(r), took)).first;
    }
    runQuerySeconds = it->second.second;
    return it->second.first;
}

// Runs `work` from the event loop and keeps the loop turning for a while
// after it (the view lays itself out and paints in later turns); returns the
// longest time between two turns.
double longestPause(const std::function<void()>& work) {
    constexpr auto kAfter = std::chrono::milliseconds(200);
    QTimer tick;
    tick.setInterval(0);
    Clock::time_point last = Clock::now();
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, seconds(now - last));
        last = now;
    });
    bool done = false;
    Clock::time_point end;
    tick.start();
    QTimer::singleShot(0, [&] {
        work();
        done = true;
        end = Clock::now();
    });
    while (!done || Clock::now() - end < kAfter) QApplication::processEvents();
    tick.stop();
    return longest;
}

// The heap a container of cells holds: its strings and what they point to.
size_t cellsHeap(const wmi::TextList& cells) {
    size_t n = cells.capacity() * sizeof(std::string);
    for (const std::string& cell : cells)
        if (cell.capacity() > 15) n += cell.capacity() + 1;  // beyond the inline buffer
    return n;
}

void QueryTabAtScale(benchmark::State& state) {
    const int rows = int(state.range(0));
    double runQuery = 0;
    const Result& r = resultAt(rows, runQuery);
    const size_t c = size_t(r.columnCount);
    const size_t text = textBytes(r.cells);
    auto columnOf = [&](const char* name) {
        return int(std::find(r.columns.begin(), r.columns.end(), name) - r.columns.begin());
    };
    const int id = columnOf("Id"), name = columnOf("Name"), score = columnOf("Score");

    double fill = 0, pause = 0, clickText = 0, clickNumber = 0, baseline = 0;
    double heapPerByte = 0, modelPerByte = 0;
    for (auto _ : state) {
        // The fill, on a fresh view so that its heap is measured on its own.
        wmi::TextList copy = r.cells;
        const size_t before = heapInUse() - cellsHeap(copy);
        auto view = std::make_unique<View>();
        auto t0 = Clock::now();
        view->model.Fill(r.columns, copy, r.columnCount, r.rowCount, 65001);
        view->settle();
        fill += seconds(Clock::now() - t0);
        heapPerByte = double(heapInUse() - before) / double(text);
        modelPerByte = double(view->model.MemoryBytes()) / double(text);

        // The same view refilled as a new query does, from the event loop.
        copy = r.cells;
        pause = std::max(pause, longestPause([&] {
                             view->model.Fill(r.columns, copy, r.columnCount, r.rowCount, 65001);
                         }));

        // A click on a text column, against std::stable_sort of the rows in the
        // order shown by the same column and direction; then a number column.
        const bool ascending = name == view->model.SortColumn() ? !view->model.SortAscending()
                                                                : view->model.SortAscending();
        std::vector<const std::string*> shown(size_t(view->model.Rows()));
        for (size_t i = 0; i < shown.size(); ++i)
            shown[i] = &r.cells[std::stoul(std::string(view->model.Cell(int(i), id))) * c];
        auto t1 = Clock::now();
        std::stable_sort(shown.begin(), shown.end(),
                         [&](const std::string* a, const std::string* b) {
                             return results::compareCells(a[name], b[name], ascending) < 0;
                         });
        auto t2 = Clock::now();
        view->model.ColumnClick(name);
        view->settle();
        auto t3 = Clock::now();
        view->model.ColumnClick(score);
        view->settle();
        auto t4 = Clock::now();
        baseline += seconds(t2 - t1);
        clickText += seconds(t3 - t2);
        clickNumber += seconds(t4 - t3);
        benchmark::DoNotOptimize(shown.data());
    }
    const double n = double(state.iterations());
    state.counters["rows"] = rows;
    state.counters["runquery_s"] = runQuery;
    state.counters["fill_s"] = fill / n;
    state.counters["fill_ns_per_row"] = fill / n / rows * 1e9;
    state.counters["fill_over_runquery"] = fill / n / runQuery;
    state.counters["longest_pause_s"] = pause;
    state.counters["click_text_s"] = clickText / n;
    state.counters["click_number_s"] = clickNumber / n;
    state.counters["click_text_ns_per_row"] = clickText / n / rows * 1e9;
    state.counters["click_over_stable_sort"] = clickText / baseline;
    state.counters["model_bytes_per_text_byte"] = modelPerByte;
    state.counters["view_heap_per_text_byte"] = heapPerByte;
    state.counters["text_bytes_per_cell"] = double(text) / double(r.cells.size());
}
BENCHMARK(QueryTabAtScale)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
