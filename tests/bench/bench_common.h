// What the two decoder benchmarks share. Under Google Benchmark: a console
// reporter that keeps each case's median (or its single run) for the ratios
// printed at the end, and the run of the registered cases, five repetitions
// in random order by default. Without it (the i686 builds that run under
// Wine): a stopwatch and a median.
#pragma once
#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>
#ifdef KORVI_GOOGLE_BENCHMARK
#include <benchmark/benchmark.h>

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  MedianReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (single || run.aggregate_name == "median") times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
  }

 protected:
  // The case's time; 0 when it did not run.
  double TimeOf(const std::string& name) { return times_[name]; }

 private:
  std::map<std::string, double> times_;
};

// Runs the registered cases with argv's options; without any, five
// repetitions in random order, medians only.
inline void RunRegistered(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  char repetitions[] = "--benchmark_repetitions=5";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  char aggregates[] = "--benchmark_report_aggregates_only=true";
  char* defaults[] = {argv[0], repetitions, interleaving, aggregates, nullptr};
  if (argc == 1) {
    argc = 4;
    argv = defaults;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}

#else

// Seconds that one call of run takes.
template <typename Run>
double Time(Run run) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  run();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

#endif
