// The WQL executor against hand-written loops applying the same filter to the
// same 100,000 static instances:
//   SELECT * FROM C WHERE Name LIKE '%7%' AND Value > 500
//
// BM_WqlVsHandLoop runs the executor and the loops alternately in one
// benchmark, at 10,000, 100,000 and 1,000,000 instances (the cost per row
// should stay flat as the count grows), and reports as counters:
//   ratio      executor / a hand loop over the same instance cursor that builds
//              the same ResultObjects the same way: the cost of parsing,
//              binding and evaluating a query instead of compiling the filter
//              in (target: at most 3);
//   ratio_raw  executor / a bare loop over a vector of the instances that
//              collects pointers: also counts the repository's cursor and the
//              larger result objects, which any query pays.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "wbem/repository/instance_source.h"
#include "wbem/repository/repository.h"
#include "wbem/wql/like_pattern.h"
#include "wbem/wql/wql.h"

namespace {

using namespace wbem;

constexpr const char* kNs = "root\\bench";
constexpr const char* kQuery = "SELECT * FROM C WHERE Name LIKE '%7%' AND Value > 500";
constexpr int kRows = 100000;

struct Data {
    std::shared_ptr<Repository> repo = std::make_shared<Repository>();
    std::vector<std::shared_ptr<const Instance>> rows;
};

// The instances, made once per count.
const Data& data(int count = kRows) {
    static std::map<int, Data> made;
    auto it = made.find(count);
    if (it != made.end()) return it->second;
    return made[count] = [count] {
        Data d;
        Repository::Transaction tx(*d.repo);
        tx.ns(kNs, true);
        auto decl = std::make_shared<ClassDef>();
        decl->name = "C";
        PropertyDef name;
        name.name = "Name";
        name.type.type = CimType::String;
        name.isKey = true;
        PropertyDef value;
        value.name = "Value";
        value.type.type = CimType::SInt32;
        decl->properties = {name, value};
        auto cls = tx.addClass(kNs, decl);
        for (int i = 0; i < count; ++i) {
            auto inst = std::make_shared<Instance>(cls);
            inst->setSlot(0, CimValue::string("Item " + std::to_string(i)));
            inst->setSlot(1, CimValue::sint((i * 7919) % 1000));
            tx.addInstance(kNs, inst);
            d.rows.push_back(inst);
        }
        tx.commit();
        return d;
    }();
}

std::vector<wql::ResultObject> viaExecutor(const std::shared_ptr<const RepositoryState>& snap) {
    return wql::executeQuery(snap, kNs, ObjectContext{"HOST", kNs}, kQuery);
}

// The filter compiled in: slots known, a search for '7' (a digit has no case
// to ignore), a numeric compare.
bool handFilter(const Instance& inst) {
    const CimValue& name = inst.value(0);
    const CimValue& value = inst.value(1);
    return name.kind() == CimValue::Kind::String && value.kind() == CimValue::Kind::SInt &&
           name.asString().find('7') != std::string::npos && value.asSInt() > 500;
}

// Same walk and same output as the executor, filter written by hand.
std::vector<wql::ResultObject> viaHandLoop(const std::shared_ptr<const RepositoryState>& snap) {
    std::vector<std::shared_ptr<const Instance>> matches;
    auto cursor = openInstances(snap, *snap->find(kNs), "C");
    for (auto run = cursor->nextRun(); !run.empty(); run = cursor->nextRun())
        for (const auto& inst : run)
            if (handFilter(*inst)) matches.push_back(inst);
    std::vector<wql::ResultObject> out(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) {
        out[i].cls = matches[i]->classPtr();
        out[i].instance = std::move(matches[i]);
    }
    return out;
}

std::vector<std::shared_ptr<const Instance>> viaRawLoop(
    const std::vector<std::shared_ptr<const Instance>>& rows) {
    std::vector<std::shared_ptr<const Instance>> out;
    for (const auto& inst : rows)
        if (handFilter(*inst)) out.push_back(inst);
    return out;
}

void BM_WqlExecutor(benchmark::State& state) {
    auto snap = data().repo->snapshot();
    for (auto _ : state) benchmark::DoNotOptimize(viaExecutor(snap));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WqlExecutor)->Unit(benchmark::kMillisecond);

void BM_HandLoop(benchmark::State& state) {
    auto snap = data().repo->snapshot();
    for (auto _ : state) benchmark::DoNotOptimize(viaHandLoop(snap));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_HandLoop)->Unit(benchmark::kMillisecond);

void BM_RawLoop(benchmark::State& state) {
    const auto& rows = data().rows;
    for (auto _ : state) benchmark::DoNotOptimize(viaRawLoop(rows));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawLoop)->Unit(benchmark::kMillisecond);

void BM_WqlVsHandLoop(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const int count = int(state.range(0));
    auto snap = data(count).repo->snapshot();
    const auto& rows = data(count).rows;
    Clock::duration wql{}, hand{}, raw{};
    size_t wqlCount = 0, handCount = 0, rawCount = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        auto a = viaExecutor(snap);
        auto t1 = Clock::now();
        auto b = viaHandLoop(snap);
        auto t2 = Clock::now();
        auto c = viaRawLoop(rows);
        auto t3 = Clock::now();
        wql += t1 - t0;
        hand += t2 - t1;
        raw += t3 - t2;
        wqlCount = a.size();
        handCount = b.size();
        rawCount = c.size();
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        benchmark::DoNotOptimize(c);
    }
    if (wqlCount != handCount || wqlCount != rawCount)
        state.SkipWithError("the executor and the loops disagree");
    auto perRow = [&](Clock::duration d) {
        return double(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()) /
               double(state.iterations() * count);
    };
    state.counters["wql_ns_per_row"] = perRow(wql);
    state.counters["hand_ns_per_row"] = perRow(hand);
    state.counters["raw_ns_per_row"] = perRow(raw);
    state.counters["ratio"] = double(wql.count()) / double(hand.count());
    state.counters["ratio_raw"] = double(wql.count()) / double(raw.count());
    state.counters["matches"] = double(wqlCount);
}
BENCHMARK(BM_WqlVsHandLoop)->Unit(benchmark::kMillisecond)->Arg(10000)->Arg(kRows)->Arg(1000000);

// LIKE at its worst, against the longest command line Linux allows (128 KiB),
// side by side with one pass of the same matcher over the same text ('%_b',
// one element to look for): "passes" is how many such passes the shape
// costs. Shapes (the pattern's length in characters is the argument):
//   0  '%' then '_' repeated, then 'b', against 'a's: the run of _ goes first
//   1  '%' then "a_" repeated, then 'b', against 'a's: matches almost
//      everywhere and fails at the end, one long segment
//   2  '%' then "[^b]" repeated, then 'b', against two-byte letters: every
//      character asks each set
void BM_LikeWorstCase(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const int shape = int(state.range(0));
    const size_t length = size_t(state.range(1));
    const std::string repeated = shape == 0 ? "_" : shape == 1 ? "a_" : "[^b]";
    std::string pattern = "%";
    while (pattern.size() + repeated.size() + 1 <= length) pattern += repeated;
    pattern += "b";
    const std::string letter = shape == 2 ? "\xC3\xA9" : "a";
    std::string text;
    while (text.size() + letter.size() <= 128 * 1024) text += letter;
    const auto like = wql::LikePattern::compile(pattern);
    const auto onePass = wql::LikePattern::compile("%_b");
    Clock::duration worst{}, pass{};
    bool matched = false;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        matched = like->matches(text) || matched;
        const auto t1 = Clock::now();
        matched = onePass->matches(text) || matched;
        const auto t2 = Clock::now();
        worst += t1 - t0;
        pass += t2 - t1;
    }
    if (matched) state.SkipWithError("the patterns should not match");
    const auto ms = [&](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count() / double(state.iterations());
    };
    state.counters["pattern_chars"] = double(pattern.size());
    state.counters["ms_per_match"] = ms(worst);
    state.counters["pass_ms"] = ms(pass);
    state.counters["passes"] = double(worst.count()) / double(pass.count());
}
BENCHMARK(BM_LikeWorstCase)
    ->Unit(benchmark::kMillisecond)
    ->Args({0, 2002})
    ->Args({1, 256})
    ->Args({1, 1024})
    ->Args({1, 4096})
    ->Args({2, 1024});

}  // namespace

BENCHMARK_MAIN();
