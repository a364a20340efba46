// Time per tick of the interaction step: the literal reference against the
// production step, at the particle counts the count slider reaches, for the
// start law, the "type2" preset and a law with non-whole exponents. The
// production step also runs on one thread and with the AVX2 kernel forced,
// and (when the renderer is built) inside the whole headless tick. A table of
// ratios, all taken within this one run, is printed at the end.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <benchmark/benchmark.h>
#include <hwy/targets.h>

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"
#include "simulation/vector_state.h"
#include "tests/simulation/force_laws.h"
#include "render/frame_bitmap.h"
#include "render/render_frame.h"
#include "render/tick.h"

namespace zintrel {
namespace {

const ForceLaw kLaws[] = {kStartLaw, kType2Law, kNonWholeLaw};
const int kCounts[] = {50, 250, 1000, 2500};

ParticleField SpreadField(const ForceLaw& law, int count) {
  return ScatteredField(law, count, 12345);
}

// Mean seconds per tick of the last (longest) run of each benchmark.
std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> seconds;
  return seconds;
}

template <typename Tick>
void Measure(benchmark::State& state, const std::string& key, ParticleField field, Tick tick) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    tick(field);
    benchmark::DoNotOptimize(field.x.data());
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0) Seconds()[key] = elapsed.count() / static_cast<double>(state.iterations());
  const double pairs = static_cast<double>(field.ParticleCount) * (field.ParticleCount - 1);
  state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
}

std::string Key(const char* variant, const ForceLaw& law, int count) {
  return std::string(variant) + "/" + law.name + "/" + std::to_string(count);
}

void Register(std::int64_t avx2) {
  for (const ForceLaw& law : kLaws) {
    for (const int count : kCounts) {
      const auto add = [&](const char* variant, StepOptions options, bool literal) {
        const std::string key = Key(variant, law, count);
        benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
          Measure(state, key, SpreadField(law, count), [&](ParticleField& field) {
            return literal ? StepParticlesLiteral(field) : StepParticlesWithOptions(field, options);
          });
        })->Unit(benchmark::kMillisecond);
      };
      add("literal", {}, true);
      add("fast", {}, false);
      add("fast_1thread", {1, 0}, false);
      add("fast_2threads", {2, 0}, false);
      if (avx2 != 0) add("fast_avx2", {0, avx2}, false);
    }
  }
  // The literal step as zintrel-headless runs it: a library called during
  // start-up (the string hash behind Qt's command-line parser, on CPUs with
  // 256-bit AES) returns with the upper vector state dirty, and it stays so.
  // Dirtying it before every tick reproduces that; the step must not notice.
  const std::string dirtyKey = Key("literal_dirty", kLaws[0], 2500);
  benchmark::RegisterBenchmark(dirtyKey.c_str(), [=](benchmark::State& state) {
    Measure(state, dirtyKey, SpreadField(kLaws[0], 2500), [&](ParticleField& field) {
      DirtyUpperVectorState();
      return StepParticlesLiteral(field);
    });
  })->Unit(benchmark::kMillisecond);
  // The whole tick at full count: resize, rescale, step and draw darts; for
  // the start law and for sliders 50 and 16 (a non-whole law).
  for (const ForceLaw& law : {kLaws[0], kSliderLaw}) {
    const std::string key = Key("tick", law, 2500);
    benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
      FrameBitmap bitmap;
      Measure(state, key, SpreadField(law, 2500), [&](ParticleField& field) {
        return RunTick(field, bitmap, kStartWidth, kStartHeight, true);
      });
    })->Unit(benchmark::kMillisecond);
  }
  // The frame alone, as the tick above draws it: the part of the tick the
  // step does not explain.
  const std::string render = Key("render", kLaws[0], 2500);
  benchmark::RegisterBenchmark(render.c_str(), [=](benchmark::State& state) {
    FrameBitmap bitmap;
    ParticleField field = SpreadField(kLaws[0], 2500);
    RunTick(field, bitmap, kStartWidth, kStartHeight, true);
    Measure(state, render, field, [&](ParticleField& drawn) { RenderFrame(drawn, bitmap, true); });
  })->Unit(benchmark::kMillisecond);
  const std::string literal = Key("literal", kSliderLaw, 2500);
  benchmark::RegisterBenchmark(literal.c_str(), [=](benchmark::State& state) {
    Measure(state, literal, SpreadField(kSliderLaw, 2500), StepParticlesLiteral);
  })->Unit(benchmark::kMillisecond);
}

// Returns the processor's own name for itself (the brand string), so a
// printed table says which machine its numbers come from.
std::string CpuModel() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned int words[12] = {};
  unsigned int highest = __get_cpuid_max(0x80000000u, nullptr);
  if (highest >= 0x80000004u) {
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
      __get_cpuid(0x80000002u + leaf, &words[4 * leaf], &words[4 * leaf + 1], &words[4 * leaf + 2],
                  &words[4 * leaf + 3]);
    }
    std::string name(reinterpret_cast<const char*>(words), sizeof(words));
    name = name.substr(0, name.find('\0'));
    const auto first = name.find_first_not_of(' ');
    const auto last = name.find_last_not_of(' ');
    // Virtual machines often shorten the name ("AMD EPYC"); the family and
    // model still tell the core apart (AMD family 25 model 1 is Zen 3,
    // model 17 Zen 4).
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    const unsigned int baseFamily = (eax >> 8) & 0xf;
    const unsigned int family = baseFamily == 0xf ? baseFamily + ((eax >> 20) & 0xff) : baseFamily;
    const unsigned int model = ((eax >> 4) & 0xf) | (baseFamily >= 0x6 ? ((eax >> 16) & 0xf) << 4 : 0);
    if (first != std::string::npos) {
      return name.substr(first, last - first + 1) + " (family " + std::to_string(family) + ", model " +
             std::to_string(model) + ")";
    }
  }
#endif
  return "unknown processor";
}

void PrintRatios() {
  const auto& seconds = Seconds();
  std::printf("\nCPU: %s, %u hardware threads\n", CpuModel().c_str(), std::thread::hardware_concurrency());
  const auto ratio = [&](const std::string& slow, const std::string& fast) {
    const auto a = seconds.find(slow), b = seconds.find(fast);
    return a == seconds.end() || b == seconds.end() || b->second <= 0.0 ? 0.0 : a->second / b->second;
  };
  std::printf("\nliteral / fast (same run); fast = all %d threads\n%-9s %6s %10s %10s %10s %10s %10s\n",
              DefaultStepThreads(), "law", "N", "fast", "1 thread", "2 threads", "AVX2", "1t / all");
  for (const ForceLaw& law : kLaws) {
    for (const int count : kCounts) {
      const std::string literal = Key("literal", law, count);
      std::printf("%-9s %6d %9.1fx %9.1fx %9.1fx %9.1fx %9.2fx\n", law.name, count,
                  ratio(literal, Key("fast", law, count)),
                  ratio(literal, Key("fast_1thread", law, count)),
                  ratio(literal, Key("fast_2threads", law, count)),
                  ratio(literal, Key("fast_avx2", law, count)),
                  ratio(Key("fast_1thread", law, count), Key("fast", law, count)));
    }
  }
  const double tick = ratio(Key("tick", kLaws[0], 2500), Key("fast", kLaws[0], 2500));
  if (tick > 0.0) std::printf("whole tick / step alone at N = 2500, start law: %.2f\n", tick);
  const double frame = ratio(Key("render", kLaws[0], 2500), Key("fast", kLaws[0], 2500));
  if (frame > 0.0) std::printf("its frame alone / step alone: %.2f\n", frame);
  const double dirty = ratio(Key("literal_dirty", kLaws[0], 2500), Key("literal", kLaws[0], 2500));
  if (dirty > 0.0) {
    std::printf("literal step after a dirty upper vector state / clean, N = 2500: %.2f\n", dirty);
  }
  const double slider = ratio(Key("literal", kSliderLaw, 2500), Key("tick", kSliderLaw, 2500));
  if (slider > 0.0) std::printf("literal step / whole tick at N = 2500, sliders 50 and 16: %.1fx\n", slider);
}

// Every SIMD target side by side. All give the same bits, so this is only
// what each costs: the production step forced onto each target this CPU
// runs, at full count, for a whole and a non-whole law.
const ForceLaw kTargetLaws[] = {kStartLaw, kNonWholeLaw};
constexpr int kTargetCount = 2500;

// The ways of reading the power tables worth timing on `target` under
// `law`: besides the default (the faster as measured at start-up), both
// forced, where there is a choice.
std::vector<TableReads> TableReadsOf(std::int64_t target, const ForceLaw& law) {
  if (target != HWY_AVX3 || std::string(law.name) != kNonWholeLaw.name) return {TableReads::kFaster};
  return {TableReads::kFaster, TableReads::kLoads, TableReads::kGathers};
}

const char* TableReadsSuffix(TableReads reads) {
  switch (reads) {
    case TableReads::kLoads:
      return "_loads";
    case TableReads::kGathers:
      return "_gathers";
    case TableReads::kFaster:
      break;
  }
  return "";
}

// Sets the way of reading the tables for the life of one benchmark.
struct ReadTablesAs {
  explicit ReadTablesAs(TableReads reads) { SetTableReads(reads); }
  ~ReadTablesAs() { SetTableReads(TableReads::kFaster); }
  ReadTablesAs(const ReadTablesAs&) = delete;
  ReadTablesAs& operator=(const ReadTablesAs&) = delete;
};

std::string TargetKey(std::int64_t target, const ForceLaw& law, TableReads reads = TableReads::kFaster) {
  return Key((std::string("simd_") + StepTargetName(target) + TableReadsSuffix(reads)).c_str(), law,
             kTargetCount);
}

// The pair kernel alone on one thread: every pair of a scattered field
// under the start law and under a non-whole law, once per iteration, on each
// target. No threads and no per-particle work, so a change to the kernel
// shows undiluted; compare builds by the fastest of several repetitions
// (--benchmark_repetitions).
// On AVX-512 the non-whole law is timed twice more, with the tables' entries
// loaded and gathered (kernel_AVX3_loads, kernel_AVX3_gathers; the plain
// kernel_AVX3 takes the way measured faster at start-up): run with
// --benchmark_repetitions and --benchmark_enable_random_interleaving, the
// three alternate within one run.
void RegisterKernels() {
  for (const ForceLaw& law : kTargetLaws) {
    for (const PairKernel& kernel : SupportedPairKernels()) {
      for (const TableReads reads : TableReadsOf(kernel.target, law)) {
        const std::string key =
            Key((std::string("kernel_") + kernel.name + TableReadsSuffix(reads)).c_str(), law, kTargetCount);
        benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
          const ReadTablesAs readAs(reads);
          const ParticleField field = SpreadField(law, kTargetCount);
          const PairLaw pairLaw = MakePairLaw(field, kTargetCount);
          std::vector<double> xs(field.x.begin(), field.x.begin() + kTargetCount);
          std::vector<double> ys(field.y.begin(), field.y.begin() + kTargetCount);
          xs.resize(kTargetCount + kPairPadding, 0.0);
          ys.resize(kTargetCount + kPairPadding, 0.0);
          std::vector<double> sumX(kTargetCount), sumY(kTargetCount);
          for (auto _ : state) {
            kernel.sumTile(pairLaw, xs.data(), ys.data(), 0, kTargetCount, xs.data(), ys.data(), 0,
                           kTargetCount, sumX.data(), sumY.data());
            benchmark::DoNotOptimize(sumX.data());
            benchmark::DoNotOptimize(sumY.data());
          }
        })->Unit(benchmark::kMillisecond);
      }
    }
  }
}

void RegisterTargets() {
  for (const ForceLaw& law : kTargetLaws) {
    for (const std::int64_t target : StepTargets()) {
      for (const TableReads reads : TableReadsOf(target, law)) {
        const std::string key = TargetKey(target, law, reads);
        benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State& state) {
          const ReadTablesAs readAs(reads);
          Measure(state, key, SpreadField(law, kTargetCount), [&](ParticleField& field) {
            return StepParticlesWithOptions(field, {0, target});
          });
        })->Unit(benchmark::kMillisecond);
      }
    }
  }
}

void PrintTargets() {
  const auto& seconds = Seconds();
  std::printf("\nper SIMD target at N = %d (same run; ms per tick, literal / target, target / AVX2)\n",
              kTargetCount);
  for (const ForceLaw& law : kTargetLaws) {
    const auto literal = seconds.find(Key("literal", law, kTargetCount));
    const auto avx2 = seconds.find(TargetKey(HWY_AVX2, law));
    for (const std::int64_t target : StepTargets()) {
      for (const TableReads reads : TableReadsOf(target, law)) {
        const auto it = seconds.find(TargetKey(target, law, reads));
        if (it == seconds.end()) continue;
        const double speedUp = literal == seconds.end() ? 0.0 : literal->second / it->second;
        // The older targets' cost against the one most processors of the
        // last decade run: how much slower a machine without AVX2 ticks.
        const double toAvx2 = avx2 == seconds.end() ? 0.0 : it->second / avx2->second;
        const std::string name = std::string(StepTargetName(target)) + TableReadsSuffix(reads);
        std::printf("%-9s %-15s %9.2f ms %9.1fx %7.2fx\n", law.name, name.c_str(), 1e3 * it->second, speedUp,
                    toAvx2);
      }
    }
  }
}

// The work and span of one tick, from a run on one thread.
struct WorkAndSpan {
  double work = 0.0;           // Seconds of the whole tick.
  double span = 0.0;           // Seconds of the part that must run in order.
  double criticalShare = 0.0;  // Of the span: each block's first slice of pull from the block before.
};

// Times every slice of 15 ticks on one thread and keeps, per slice, the
// fastest of the ticks: the machine is shared, and a slice of a few tens of
// microseconds that another process interrupts in one tick runs whole in
// another, while a whole tick of several milliseconds rarely does.
WorkAndSpan MeasureWorkAndSpan(const ForceLaw& law, int count) {
  ParticleField field = SpreadField(law, count);
  std::vector<double> work, span;
  double critical = 1e300, spanOfCritical = 0.0;
  for (int tick = 0; tick < 15; ++tick) {
    StepProfile profile;
    StepParticlesWithOptions(field, {1, 0, &profile});
    if (work.empty()) work.assign(profile.sliceSeconds.size(), 1e300), span = work;
    double tickSpan = 0.0;
    for (size_t k = 0; k < work.size(); ++k) {
      work[k] = std::min(work[k], profile.sliceSeconds[k]);
      span[k] = std::min(span[k], profile.spanSeconds[k]);
      tickSpan += profile.spanSeconds[k];
    }
    if (profile.criticalSeconds < critical) critical = profile.criticalSeconds, spanOfCritical = tickSpan;
  }
  WorkAndSpan result;
  for (size_t k = 0; k < work.size(); ++k) result.work += work[k], result.span += span[k];
  result.criticalShare = spanOfCritical > 0.0 ? critical / spanOfCritical : 0.0;
  return result;
}

// Returns the pieces per tick the moving thread computed again because a
// helper still held them, on every thread.
double RecomputedPerTick(const ForceLaw& law, int count) {
  ParticleField field = SpreadField(law, count);
  constexpr int kTicks = 15;
  int recomputed = 0;
  for (int tick = 0; tick < kTicks; ++tick) {
    StepProfile profile;
    StepParticlesWithOptions(field, {0, 0, &profile});
    recomputed += profile.recomputedPieces;
  }
  return recomputed / static_cast<double>(kTicks);
}

// Work is one thread's time per tick, span the moving thread's in-order
// part of it (both from MeasureWorkAndSpan). While the moving thread does the
// span, the other p - 1 threads compute pieces ahead of it, and there is
// ready work for them nearly all the time, so a tick on p threads takes
// about T_p = span + (work - span) / p, between the ideal max(span, work / p)
// and Brent's bound work / p + span. The measured column is the benchmarks'
// one thread / two threads, which a loaded machine holds down.
void PrintWorkAndSpan() {
  constexpr int kCount = 2500;
  std::printf("\nwork and span at N = %d (ms per tick); expected speed-up T_1 / T_p, "
              "T_p = span + (work - span) / p\n%-9s %7s %7s %6s %6s %9s %9s %7s %7s %7s %9s\n",
              kCount, "law", "work", "span", "span%", "crit%", "2 (model", "measured)", "4", "8", "16",
              "recomp/t");
  for (const ForceLaw& law : kLaws) {
    const auto one = Seconds().find(Key("fast_1thread", law, kCount));
    const auto two = Seconds().find(Key("fast_2threads", law, kCount));
    if (one == Seconds().end() || two == Seconds().end()) continue;
    const WorkAndSpan measured = MeasureWorkAndSpan(law, kCount);
    const double work = measured.work, span = measured.span, criticalShare = measured.criticalShare;
    const auto speedUp = [&](int p) { return work / (span + (work - span) / p); };
    std::printf("%-9s %7.3f %7.3f %5.1f%% %5.1f%% %8.2fx %8.2fx %6.2fx %6.2fx %6.2fx %9.1f\n", law.name,
                1e3 * work, 1e3 * span, 100.0 * span / work, 100.0 * criticalShare, speedUp(2),
                one->second / two->second,
                speedUp(4), speedUp(8), speedUp(16), RecomputedPerTick(law, kCount));
  }
}

}  // namespace
}  // namespace zintrel

int main(int argc, char** argv) {
  using namespace zintrel;
  const std::vector<std::int64_t> targets = StepTargets();
  std::int64_t avx2 = 0;
  std::string names;
  for (const std::int64_t target : targets) {
    if (target == HWY_AVX2) avx2 = target;
    names += std::string(names.empty() ? "" : ", ") + StepTargetName(target);
  }
  std::printf("step kernel in use: %s (this CPU runs: %s)\n", BestPairKernel().name, names.c_str());
  const TableReadsChoice reads = MeasuredTableReads();
  if (reads.measured) {
    std::printf("AVX-512 non-whole law: tables %s (measured: loads %.1f us, gathers %.1f us a round)\n",
                reads.gathers ? "gathered" : "loaded", 1e6 * reads.loadsSeconds, 1e6 * reads.gathersSeconds);
  }
  Register(avx2);
  RegisterTargets();
  RegisterKernels();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  PrintTargets();
  PrintWorkAndSpan();
  return 0;
}
