#include "tools/explore_program.h"

#include <QCommandLineParser>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>

#include "state/printable_text.h"
#include "tools/explore_folder.h"
#include "tools/explore_keeping.h"
#include "tools/headless_run.h"
#include "tools/stop_signal.h"

namespace zintrel {
namespace {

constexpr RunSetting kRuns{"runs", 1.0, 1000000.0, true};
constexpr RunSetting kTicks{"ticks", 2.0, 10000000.0, true};
constexpr RunSetting kSide{"width", 16.0, 4096.0, true};
constexpr RunSetting kHeightSide{"height", 16.0, 4096.0, true};
constexpr RunSetting kThreads{"threads", 1.0, 256.0, true};
constexpr RunSetting kNovelty{"novelty", 0.0, 100000.0, true};
constexpr RunSetting kFrames{"thumbnail-frames", 2.0, 3000.0, true};

void AddOptions(QCommandLineParser& parser) {
  const auto add = [&parser](const char* name, const char* help, const char* valueName = nullptr) {
    AddOption(parser, name, help, valueName);
  };
  add("runs", "Candidate runs to try, 1 .. 1000000.", "N");
  add("seed", "Seed the candidates are drawn from, 0 .. 4294967295 (default 0).", "S");
  add("ticks", "Ticks of each run, 2 .. 10000000 (default 600).", "T");
  add("out", "The folder to write: index.json, index.html and a thumbnail per kept run. It must not "
      "exist yet, or be empty.", "DIR");
  add("width", "Width of every run's field, 16 .. 4096 (default 240).", "W");
  add("height", "Height of every run's field, 16 .. 4096 (default 160).", "H");
  add("thumbnail-frames", "The last ticks each thumbnail shows and the measures look at, 2 .. 3000 "
      "(default 150, three seconds).", "K");
  add("novelty", "The least distance, in the normalised measures, from every run kept before "
      "(default 250).", "D");
  add("page", "The web page's address the links open (default none: the links are fragments).", "ADDRESS");
  add("threads", "Runs tried side by side, 1 .. 256 (default: every hardware thread); the same folder "
      "for any.", "N");
  add("shard", "Try only the candidates I, I + N, I + 2N, ... (I from 0) and write them for --merge.", "I/N");
  add("merge", "Join the folders of every shard, given after the options, into what one process writes.");
  add("help", "Show this help and exit.");
  add("version", "Show the version and exit.");
}

std::string ReadOptions(const QCommandLineParser& parser, ExploreOptions& options) {
  std::string error;
  const auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
  const auto text = [&parser](const char* name) { return OptionBytes(parser.value(QString::fromLatin1(name))); };
  const auto number = [&](const RunSetting& rule, auto& target) {
    if (!isSet(rule.name)) return true;
    const std::optional<double> value = ReadNumberText(text(rule.name), rule, error);
    if (value) target = static_cast<std::remove_reference_t<decltype(target)>>(*value);
    return value.has_value();
  };
  options.help = isSet("help");
  options.version = isSet("version");
  if (options.help || options.version) return {};
  ExploreSettings& s = options.settings;
  if (!number(kRuns, s.runs) || !number(kSeedSetting, s.seed) || !number(kTicks, s.ticks) ||
      !number(kSide, s.width) || !number(kHeightSide, s.height) || !number(kFrames, s.thumbnailFrames) ||
      !number(kNovelty, s.novelty) || !number(kThreads, options.threads)) {
    return error;
  }
  s.page = text("page");
  options.out = text("out");
  if (options.out.empty()) return "--out: give the folder to write";
  options.merge = isSet("merge");
  for (const QString& folder : parser.positionalArguments()) options.mergeFolders.push_back(OptionBytes(folder));
  if (options.merge) {
    for (const char* name : {"runs", "seed", "ticks", "width", "height", "thumbnail-frames", "novelty", "page",
                             "shard"}) {
      if (isSet(name)) return std::string("--merge takes the shards' settings, so --") + name + " cannot go with it";
    }
    if (options.mergeFolders.empty()) return "--merge: give the shards' folders";
    return {};
  }
  if (!options.mergeFolders.empty()) return "unexpected argument '" + options.mergeFolders.front() + "'";
  if (!isSet("runs")) return "--runs: give the number of runs to try";
  if (isSet("shard")) {
    const std::string shard = text("shard");
    const std::size_t slash = shard.find('/');
    std::string ignored;
    const RunSetting count{"shard", 1.0, 1000000.0, true};
    const std::optional<double> of = slash == std::string::npos ? std::nullopt
                                                                  : ReadNumberText(shard.substr(slash + 1), count, ignored);
    const RunSetting which{"shard", 0.0, of ? *of - 1 : 0.0, true};
    const std::optional<double> index = of ? ReadNumberText(shard.substr(0, slash), which, ignored) : std::nullopt;
    if (!index) return "--shard: '" + shard + "' is not I/N with I from 0 to N - 1";
    options.shard = static_cast<std::int64_t>(*index);
    options.shards = static_cast<std::int64_t>(*of);
  }
  return {};
}

int Report(std::ostream& err, const std::string& problem, int status) {
  err << "zintrel-explore: " << PrintableLine(problem) << '\n';
  return status;
}

// The progress line, shown on a terminal only and at most twice a second;
// a log or a pipe gets none.
class Progress {
 public:
  explicit Progress(std::int64_t total) : shown_(::isatty(STDERR_FILENO) == 1), total_(total) {}
  void Show(std::int64_t tried, std::int64_t kept) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (tried < total_ && now - last_ < std::chrono::milliseconds(500)) return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const auto left = tried > 0 ? static_cast<long long>(elapsed * static_cast<double>(total_ - tried) / tried) : 0;
    std::fprintf(stderr, "\r\033[Kzintrel-explore: tried %lld of %lld, kept %lld, %lld:%02lld left",
                 static_cast<long long>(tried), static_cast<long long>(total_), static_cast<long long>(kept),
                 left / 60, left % 60);
    std::fflush(stderr);
  }
  ~Progress() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool shown_;
  std::int64_t total_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

std::vector<FolderFile> ExplorationFiles(const ExploreSettings& settings, const Keeper& keeper) {
  std::vector<FolderFile> files{{"index.json", IndexJson(settings, keeper)},
                                {"index.html", IndexHtml(settings, keeper)}};
  for (const KeptRun& kept : keeper.Kept()) files.emplace_back(ThumbnailName(kept.index), kept.thumbnail);
  return files;
}

}  // namespace

std::string ParseExploreOptions(const std::vector<std::string>& arguments, ExploreOptions& options) {
  QCommandLineParser parser;
  AddOptions(parser);
  if (std::string problem = ParseArguments(parser, arguments, "zintrel-explore"); !problem.empty()) return problem;
  return ReadOptions(parser, options);
}

int RunExplore(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  ExploreOptions options;
  if (std::string problem = ParseExploreOptions(arguments, options); !problem.empty()) {
    return Report(err, problem, kExitBadInput);
  }
  if (options.help) {
    QCommandLineParser parser;
    AddOptions(parser);
    parser.setApplicationDescription(QStringLiteral(
        "Tries candidate runs of the Zintrel particle simulation, drawn from a seed over the\n"
        "settings' sliders, measures each, and keeps those unlike every run kept before:\n"
        "their links, measures and thumbnails, with a contact sheet. The same options\n"
        "give the same folder, byte for byte, on any machine and thread count.\n"
        "  zintrel-explore --runs N --out DIR [options]\n"
        "  zintrel-explore --merge --out DIR SHARD-DIR...\n"
        "Exit status: 0 done, 2 bad input, 128 + n stopped by signal n."));
    out << parser.helpText().toStdString();
    return kExitSuccess;
  }
  if (options.version) {
    out << "zintrel-explore " << ZINTREL_VERSION << '\n';
    return kExitSuccess;
  }
  if (std::string problem = CheckNewFolder(options.out); !problem.empty()) return Report(err, problem, kExitBadInput);

  ExploreSettings& settings = options.settings;
  std::vector<TriedRun> shardRuns;
  if (options.merge) {
    if (std::string problem = ReadShards(options.mergeFolders, settings, shardRuns); !problem.empty()) {
      return Report(err, problem, kExitBadInput);
    }
  }
  // After the merge's settings are read: the shards' novelty is the one.
  Keeper keeper(settings.novelty);
  if (options.merge) {
    for (TriedRun& run : shardRuns) keeper.Offer(std::move(run));
  } else {
    std::vector<std::int64_t> indices;
    for (std::int64_t i = std::max<std::int64_t>(0, options.shard); i < settings.runs;
         i += options.shards > 0 ? options.shards : 1) {
      indices.push_back(i);
    }
    const int threads = options.threads > 0 ? options.threads
                                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    Progress progress(static_cast<std::int64_t>(indices.size()));
    std::int64_t tried = 0;
    TryCandidates(settings, indices, threads, [&](TriedRun&& run) {
      if (run.index < 0) return;  // Stopped before its end.
      ++tried;
      if (options.shard >= 0) {
        shardRuns.push_back(std::move(run));
      } else {
        keeper.Offer(std::move(run));
      }
      progress.Show(tried, static_cast<std::int64_t>(keeper.Kept().size()));
    });
    if (options.shard >= 0) {
      if (const int signal = StopSignal(); signal != 0) {
        err << "zintrel-explore: interrupted; a shard cut short writes nothing\n";
        return kExitSignalBase + signal;
      }
      std::sort(shardRuns.begin(), shardRuns.end(),
                [](const TriedRun& a, const TriedRun& b) { return a.index < b.index; });
      std::vector<FolderFile> files{{kShardFile, ShardJson(settings, options.shard, options.shards, shardRuns)}};
      for (TriedRun& run : shardRuns) {
        if (run.dropped == Dropped::kNo) files.emplace_back(ThumbnailName(run.index), std::move(run.thumbnail));
      }
      if (std::string problem = WriteFolder(options.out, files); !problem.empty()) {
        return Report(err, problem, kExitBadInput);
      }
      out << "tried " << shardRuns.size() << " runs of shard " << options.shard << " of " << options.shards << '\n';
      return kExitSuccess;
    }
  }
  const int signal = StopSignal();
  // Stopped: what was decided by then, a whole folder of its own, or nothing
  // when nothing was.
  if (signal != 0 && keeper.Decided() == 0) {
    err << "zintrel-explore: interrupted before any run was tried; nothing written\n";
    return kExitSignalBase + signal;
  }
  if (std::string problem = WriteFolder(options.out, ExplorationFiles(settings, keeper)); !problem.empty()) {
    return Report(err, problem, kExitBadInput);
  }
  if (signal != 0) {
    err << "zintrel-explore: interrupted after " << keeper.Decided() << " of " << settings.runs << " runs; kept "
        << keeper.Kept().size() << '\n';
    return kExitSignalBase + signal;
  }
  out << "kept " << keeper.Kept().size() << " of " << keeper.Decided() << " runs\n";
  return kExitSuccess;
}

}  // namespace zintrel
