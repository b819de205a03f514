// The benchmarks and the table scripts/bench prints.
//
// The command runs on generated documents of 255 categories and 1,000, 5,000 and 20,000
// expression definitions, next to the baseline: the same host calls, in the same order, made by a
// plain loop over the simulated host's exports. Before anything is timed, both run once on each
// document: they must make the same calls and leave the same document, or the comparison means
// nothing and the program stops. Then one bound FX_ call is timed next to a direct call of the
// same export.
//
// Both sides pay the simulated host's own cost (it records every call and copies the document
// when an edit starts), so the ratio shows what the framework adds on top of the calls.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/baseline.h"
#include "bench/generated_document.h"
#include "bench/heap_meter.h"
#include "hostsim/scripted_desktop.h"
#include "hostsim/sim_host.h"
#include "plugin/alphabetizer.h"
#include "vaz/vaz.h"

namespace {

constexpr int kSizes[] = {1000, 5000, 20000};

hostsim::SimHost& Host() {
  return hostsim::SimHost::Instance();
}

const bench::GeneratedDocument& Document(int expressions) {
  static std::map<int, bench::GeneratedDocument> documents;
  auto found = documents.find(expressions);
  if (found == documents.end()) {
    found = documents.emplace(expressions, bench::MakeDocument(expressions)).first;
  }
  return found->second;
}

// A host call as the comparison sees it: its name and every argument that is not an address.
std::string Signature(const hostsim::CallRecord& call) {
  std::string text = call.name;
  const auto word = [&](std::size_t index) { return std::to_string(call.args[index]); };
  if (call.name == "FX_LoadEData") {
    text += " " + word(0) + (call.args[2] ? " buffer " : " query ") + word(4);
  } else if (call.name == "FX_NextEData" || call.name == "FX_SaveEData") {
    text += " " + word(0) + " " + word(3) + " " + word(4);
  } else if (!call.args.empty()) {
    text += " " + word(call.args.size() - 1);
  }
  return text;
}

std::vector<std::string> Signatures() {
  std::vector<std::string> signatures;
  for (const auto& call : Host().Calls()) signatures.push_back(Signature(call));
  return signatures;
}

template <typename Run>
void Time(benchmark::State& state, Run run) {
  const bench::GeneratedDocument& document = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    Host().Records() = document.store;
    Host().ClearCalls();
    state.ResumeTiming();
    run();
  }
  state.counters["records"] = document.Records();
}

void BM_Command(benchmark::State& state) {
  Time(state, [] { Alphabetizer(); });
}

void BM_Baseline(benchmark::State& state) {
  Time(state, [] { benchmark::DoNotOptimize(bench::BaselineSort()); });
}

// The host records every call; both call benchmarks forget the record at the same pace.
constexpr int kCallsKept = 4096;

void BM_BoundCall(benchmark::State& state) {
  int calls = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FX_GetMaxLayers(kScorixApiVersion));
    if (++calls == kCallsKept) {
      Host().ClearCalls();
      calls = 0;
    }
  }
}

void BM_DirectCall(benchmark::State& state) {
  int calls = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bench::DirectGetMaxLayers());
    if (++calls == kCallsKept) {
      Host().ClearCalls();
      calls = 0;
    }
  }
}

// Keeps the time of every benchmark, in milliseconds, for the table: the CPU time of the thread
// that ran it (the machine may be busy with other work), the median when repeated.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations <= 0) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = run.run_name.str();
      if (!median && medians_.count(name)) continue;
      if (median) medians_.insert(name);
      milliseconds[name] = run.cpu_accumulated_time / static_cast<double>(run.iterations) * 1e3;
    }
  }
  std::map<std::string, double> milliseconds;

 private:
  std::set<std::string> medians_;
};

struct Measured {
  std::size_t calls = 0;
  double peak_mib = 0;
};

// One untimed run: the host calls it makes and the heap it adds at its peak.
template <typename Run>
Measured MeasureOnce(const bench::GeneratedDocument& document, Run run,
                     std::vector<std::string>* signatures, hostsim::RecordStore* after) {
  Host().Records() = document.store;
  Host().ClearCalls();
  bench::StartMetering();
  run();
  Measured measured;
  measured.peak_mib = static_cast<double>(bench::StopMetering()) / (1024.0 * 1024.0);
  measured.calls = Host().Calls().size();
  *signatures = Signatures();
  *after = Host().Records();
  return measured;
}

double Value(const TableReporter& reporter, const std::string& name) {
  const auto found = reporter.milliseconds.find(name);
  return found == reporter.milliseconds.end() ? 0.0 : found->second;
}

}  // namespace

int main(int argc, char** argv) {
  hostsim::ScriptedDesktop desktop;
  platform::SetDesktop(&desktop);
  Host().Reset();
  Host().RegisterAs("SCORIX.EXE");

  // Both sides make the same calls and leave the same document, or nothing is measured.
  std::map<int, Measured> command, baseline;
  for (const int size : kSizes) {
    const bench::GeneratedDocument& document = Document(size);
    std::vector<std::string> command_calls, baseline_calls;
    hostsim::RecordStore command_after, baseline_after;
    command[size] = MeasureOnce(
        document, [] { Alphabetizer(); }, &command_calls, &command_after);
    baseline[size] = MeasureOnce(
        document, [] { bench::BaselineSort(); }, &baseline_calls, &baseline_after);
    if (command_calls != baseline_calls || command_after != baseline_after ||
        command_after == document.store || !desktop.Boxes().empty()) {
      std::fprintf(stderr,
                   "bench: at %d expression definitions the baseline does not make the command's "
                   "host calls (%zu and %zu calls) or does not leave its document\n",
                   size, command_calls.size(), baseline_calls.size());
      return 1;
    }
  }

  for (const int size : kSizes) {
    benchmark::RegisterBenchmark("command", BM_Command)->Arg(size)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("baseline", BM_Baseline)->Arg(size)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("bound_call", BM_BoundCall);
  benchmark::RegisterBenchmark("direct_call", BM_DirectCall);

  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf(
      "\n| expression definitions | records | command ms | baseline ms | command/baseline | host "
      "calls | calls per record | peak heap command MiB | peak heap baseline MiB |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const int size : kSizes) {
    const std::string arg = "/" + std::to_string(size);
    const double command_ms = Value(reporter, "command" + arg);
    const double baseline_ms = Value(reporter, "baseline" + arg);
    const int records = Document(size).Records();
    std::printf("| %d | %d | %.2f | %.2f | %.2f | %zu | %.2f | %.1f | %.1f |\n", size, records,
                command_ms, baseline_ms, baseline_ms > 0 ? command_ms / baseline_ms : 0.0,
                command[size].calls, static_cast<double>(command[size].calls) / records,
                command[size].peak_mib, baseline[size].peak_mib);
  }
  const std::string small = "/" + std::to_string(kSizes[0]);
  const std::string large = "/" + std::to_string(kSizes[2]);
  const double records_growth =
      static_cast<double>(Document(kSizes[2]).Records()) / Document(kSizes[0]).Records();
  const auto growth = [&](const char* name) {
    const double first = Value(reporter, name + small);
    return first > 0 ? Value(reporter, name + large) / first : 0.0;
  };
  std::printf(
      "\ngrowth from %d to %d expression definitions (records x%.1f): command x%.1f, baseline "
      "x%.1f\n",
      kSizes[0], kSizes[2], records_growth, growth("command"), growth("baseline"));
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "times: CPU time of the benchmark's thread, the median of the repetitions; peak heap: the "
      "most a run holds at once beyond what was held before it (the simulated host's own "
      "included); the whole program peaked at %.0f MiB resident\n",
      static_cast<double>(usage.ru_maxrss) / 1024.0);
  const double bound = Value(reporter, "bound_call");
  const double direct = Value(reporter, "direct_call");
  std::printf("bound FX_GetMaxLayers call %.1f ns, direct call of the export %.1f ns: x%.2f\n",
              bound * 1e6, direct * 1e6, direct > 0 ? bound / direct : 0.0);
  return 0;
}
