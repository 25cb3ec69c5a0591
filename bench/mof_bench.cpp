// The MOF reader over the whole DMTF CIM Schema 2.49, beside the cost of
// merely reading the same files' bytes from disk.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "thread_cpu_time.h"
#include "wbem/mof/mof_compiler.h"
#include "wbem/mof/parser.h"

namespace {

const std::string kRoot = CIMSCOPE_FIXTURES "/cim-schema-2.49/cim_schema_2.49.0.mof";

// The root file and every file it includes, as the compiler asks for them.
struct SchemaFiles {
    std::vector<std::string> paths;
    size_t bytes = 0;
};

const SchemaFiles& schemaFiles() {
    static const SchemaFiles files = [] {
        SchemaFiles f;
        wbem::mof::FileLoader disk = wbem::mof::diskLoader();
        wbem::mof::Options o;
        o.defaultNamespace = "root\\dmtf";
        o.loader = [&](const std::string& path) {
            auto text = disk(path);
            if (text) {
                f.paths.push_back(path);
                f.bytes += text->size();
            }
            return text;
        };
        wbem::Repository repo;
        wbem::Repository::Transaction tx(repo);
        wbem::mof::compileFile(tx, kRoot, o);
        return f;
    }();
    return files;
}

size_t readAll(const wbem::mof::FileLoader& disk) {
    size_t n = 0;
    for (const std::string& p : schemaFiles().paths) n += disk(p)->size();
    return n;
}

void BM_ReadSchemaBytes(benchmark::State& state) {
    wbem::mof::FileLoader disk = wbem::mof::diskLoader();
    for (auto _ : state) benchmark::DoNotOptimize(readAll(disk));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(schemaFiles().bytes));
}
BENCHMARK(BM_ReadSchemaBytes)->Unit(benchmark::kMillisecond);

// Reading, lexing and parsing, without applying to a repository.
void BM_ParseSchema(benchmark::State& state) {
    for (auto _ : state) {
        wbem::mof::SourceSet sources(wbem::mof::diskLoader());
        uint32_t root = sources.add(kRoot, *wbem::mof::diskLoader()(kRoot));
        benchmark::DoNotOptimize(wbem::mof::parseSources(sources, root).size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(schemaFiles().bytes));
}
BENCHMARK(BM_ParseSchema)->Unit(benchmark::kMillisecond);

// The whole compile into a fresh repository, with the read cost measured in
// the same run for the ratio.
void BM_CompileSchema(benchmark::State& state) {
    wbem::mof::FileLoader disk = wbem::mof::diskLoader();
    double compileSeconds = 0;
    double readSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double r0 = threadCpuSeconds();
        benchmark::DoNotOptimize(readAll(disk));
        readSeconds += threadCpuSeconds() - r0;
        state.ResumeTiming();

        const double t0 = threadCpuSeconds();
        auto repo = std::make_unique<wbem::Repository>();
        {
            wbem::Repository::Transaction tx(*repo);
            tx.ns("root\\dmtf", true);
            wbem::mof::Options o;
            o.defaultNamespace = "root\\dmtf";
            wbem::mof::compileFile(tx, kRoot, o);
            tx.commit();
        }
        compileSeconds += threadCpuSeconds() - t0;

        state.PauseTiming();
        repo.reset();  // tearing the repository down is not part of the compile
        state.ResumeTiming();
    }
    const double mb = double(schemaFiles().bytes) * double(state.iterations()) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(schemaFiles().bytes));
    state.counters["compile_MB_s"] = mb / compileSeconds;
    state.counters["read_MB_s"] = mb / readSeconds;
    state.counters["compile_over_read"] = compileSeconds / readSeconds;
    state.counters["files"] = double(schemaFiles().paths.size());
}
BENCHMARK(BM_CompileSchema)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
