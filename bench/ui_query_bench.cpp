// The query result view against what surrounds it, both sides timed in the
// same iteration so that machine noise hits both alike; ratios as counters:
//   FillVsRunQuery       filling ListView1 (model reset, first sort, the view's
//                        layout) with 100,000 rows x 10 columns, against
//                        RunQuery producing them (goal <= 1.0); with the heap
//                        the filled view holds per byte of cell text (goal < 3)
//   HeaderClickVsStableSort  a header click (re-sort, view update) against
//                        std::stable_sort of the same rows with the same
//                        compare rule on the cell texts (goal <= 1.5)
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
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
constexpr const char* kHost = "uibenchhost";
constexpr const char* kQuery = "select * from BenchRow";

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// 100,000 rows of ten properties: numbers (negative ones too), names, paths,
// dates, booleans and reals, made on demand like a live provider's.
class Rows : public wbem::InstanceProvider {
    class Cursor : public wbem::InstanceCursor {
      public:
        explicit Cursor(std::shared_ptr<const wbem::ClassDef> cls) : cls_(std::move(cls)) {}
        std::shared_ptr<const wbem::Instance> next() override {
            if (i_ >= kRows) return nullptr;
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
        int i_ = 0;
    };

  public:
    std::unique_ptr<wbem::InstanceCursor> open(const std::shared_ptr<const wbem::ClassDef>& cls,
                                               const wbem::QueryHints&) const override {
        return std::make_unique<Cursor>(cls);
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
    wmi::TextList columns, cells;
    int32_t columnCount = 0, rowCount = 0;
};

Result runQuery(wmi::TWMI& wmi) {
    Result r;
    if (!wmi.RunQuery(kQuery, r.columns, r.cells, r.columnCount, r.rowCount))
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
        const size_t text = textBytes(r.cells);

        // A fresh view each time, so that its heap is measured on its own; the
        // cells it is given are a copy that it takes over and frees.
        auto fresh = std::make_unique<View>();
        wmi::TextList copy = r.cells;
        size_t copyHeap = copy.capacity() * sizeof(std::string);
        for (const std::string& cell : copy)
            if (cell.capacity() > 15) copyHeap += cell.capacity() + 1;  // beyond the inline buffer
        const size_t baseline = heapInUse() - copyHeap;
        fresh->model.Fill(r.columns, copy, r.columnCount, r.rowCount, 65001);
        fresh->settle();
        heapPerByte = double(heapInUse() - baseline) / double(text);
        modelPerByte = double(fresh->model.MemoryBytes()) / double(text);
        fresh.reset();

        // The timed fill: the window's own view, refilled as a new query does.
        auto t2 = Clock::now();
        view.model.Fill(r.columns, r.cells, r.columnCount, r.rowCount, 65001);
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
