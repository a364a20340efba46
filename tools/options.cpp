#include "tools/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "simulation/particle_field.h"
#include "state/share_link.h"

namespace zintrel {
namespace {

// A numeric option: its name, the closed range it allows, and whether it
// is a whole number. Those that describe the run are a link's fields too.
using NumberRule = RunSetting;
constexpr NumberRule kTicks{"ticks", 0.0, 10000000.0, true};
constexpr NumberRule kThreads{"threads", 1.0, 64.0, true};
constexpr NumberRule kGifFrom{"gif-from", 1.0, 10000000.0, true};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Reads the value of a numeric option, or says what is wrong with it.
std::optional<double> ReadNumber(const QCommandLineParser& parser, const NumberRule& rule,
                                 std::string& error) {
  return ReadNumberText(parser.value(QString::fromLatin1(rule.name)).toStdString(), rule, error);
}

// Declares every option; the help text lists them in this order.
void AddOptions(QCommandLineParser& parser) {
  const auto add = [&parser](const char* name, const char* help, const char* valueName = nullptr) {
    AddOption(parser, name, help, valueName);
  };
  add("seed", "Seed of the random source, 0 .. 4294967295 (default: milliseconds since midnight UTC).", "N");
  add("state-in", "Start from a saved state (JSON) instead of the start-up state.", "FILE");
  add("link", "Run what a link of the web page holds: its seed, parameters, drawing mode, Running and "
      "display size, in place of those options.", "ADDRESS");
  add("count", "Number of active particles, 1 .. 2500.", "N");
  add("max-speed", "Speed cap in pixels per tick, 1 .. 24.", "V");
  add("size", "Drawing radius in pixels, 1 .. 9.", "S");
  add("activity", "Force amplitude A, 0 .. 99.", "A");
  add("repulsion", "Weight of the repulsive term B, 0 .. 99.", "B");
  add("acceleration", "Fall-off exponent a of the whole force, 0 .. 3.", "a");
  add("repulsive-acceleration", "Extra fall-off exponent b of the repulsive term, 0 .. 3.", "b");
  add("paused", "Start paused: ticks rescale and draw but do not step.");
  add("initial-radius", "Scatter the particles again in a disc of this radius, 1 .. 10000.", "R");
  add("width", "Client width every tick measures, 0 .. 16384 (default: the state's).", "W");
  add("height", "Client height every tick measures, 0 .. 16384 (default: the state's).", "H");
  add("ticks", "Number of ticks to run, 0 .. 10000000 (default 0).", "T");
  add("discs", "Draw discs instead of darts.");
  add("darts", "Draw darts (default, unless the state file says discs).");
  add("step", "Step implementation: fast (default) or literal.", "literal|fast");
  add("simd", "SIMD target of the fast step: auto (default: the best this processor runs), avx3, "
      "avx2, sse4, ssse3 or scalar. Every target gives the same bits.", "TARGET");
  add("threads", "Threads of the fast step, 1 .. 64; the same result for any (default: every "
                 "hardware thread, one below 500 particles).", "T");
  add("state-out", "Write the state after the last tick as JSON.", "FILE");
  add("frame-out", "Write the frame of the last tick (or of the start state with --ticks 0) as PNG.", "FILE.png");
  add("frames-dir", "Write every tick's frame as DIR/000001.png, DIR/000002.png, ...; a DIR that does "
      "not exist is created at the end, whole.", "DIR");
  add("gif", "Write every tick's frame into one animated GIF, as the programs record it, each "
      "frame shown for the state's drawing speed (16 ms without one).", "FILE.gif");
  add("gif-from", "The first tick the GIF records, 1 .. --ticks (default 1); the ticks before it run "
      "unrecorded.", "TICK");
  add("stats", "Print ticks=T ms_per_tick=X ticks_per_s=Y after the run.");
  add("help", "Show this help and exit.");
  add("version", "Show the version and exit.");
}

// Fills the options from a parser that has accepted the command line.
std::string ReadOptions(const QCommandLineParser& parser, HeadlessOptions& options) {
  std::string error;
  const auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
  const auto text = [&parser](const char* name) { return OptionBytes(parser.value(QString::fromLatin1(name))); };
  // Reads a numeric option into target when it is given; false on a bad value.
  const auto number = [&](const NumberRule& rule, auto& target) {
    if (!isSet(rule.name)) return true;
    const std::optional<double> value = ReadNumber(parser, rule, error);
    if (!value) return false;
    target = static_cast<std::remove_reference_t<decltype(*target)>>(*value);
    return true;
  };

  options.help = isSet("help");
  options.version = isSet("version");
  std::optional<std::int64_t> ticks;
  if (!number(kSeedSetting, options.seed) || !number(kCountSetting, options.count) ||
      !number(kMaxSpeedSetting, options.maxSpeed) || !number(kSizeSetting, options.size) ||
      !number(kActivitySetting, options.activity) || !number(kRepulsionSetting, options.repulsion) ||
      !number(kAccelerationSetting, options.acceleration) ||
      !number(kRepulsiveAccelerationSetting, options.repulsiveAcceleration) ||
      !number(kInitialRadiusSetting, options.initialRadius) || !number(kWidthSetting, options.width) ||
      !number(kHeightSetting, options.height) || !number(kTicks, ticks) ||
      !number(kThreads, options.threads) || !number(kGifFrom, options.gifFrom)) {
    return error;
  }
  options.ticks = ticks.value_or(0);
  options.paused = isSet("paused");
  if (isSet("discs") && isSet("darts")) return "--discs and --darts exclude each other";
  if (isSet("discs")) options.showOrientation = false;
  if (isSet("darts")) options.showOrientation = true;
  options.stats = isSet("stats");
  if (isSet("link")) {
    // A link is a whole run; an option beside it would make it another one.
    for (const char* name : {"seed", "state-in", "count", "max-speed", "size", "activity", "repulsion",
                             "acceleration", "repulsive-acceleration", "paused", "initial-radius", "width",
                             "height", "discs", "darts"}) {
      if (isSet(name)) return std::string("--link sets the run, so --") + name + " cannot go with it";
    }
    SharedRun run;
    if (std::string problem = ReadLink(text("link"), run); !problem.empty()) return "--link: " + problem;
    ApplyLink(run, options);
  }

  if (isSet("step")) {
    const std::string step = text("step");
    if (step == "fast") {
      options.step = StepKind::kFast;
    } else if (step == "literal") {
      options.step = StepKind::kLiteral;
    } else {
      return "--step: " + Quoted(step) + " is neither 'literal' nor 'fast'";
    }
  }
  if (isSet("simd")) {
    options.simd = text("simd");
    const bool known = options.simd == "auto" || options.simd == "avx3" || options.simd == "avx2" ||
                       options.simd == "sse4" || options.simd == "ssse3" || options.simd == "scalar";
    if (!known) return "--simd: " + Quoted(options.simd) + " is not auto, avx3, avx2, sse4, ssse3 or scalar";
  }
  // An empty path would otherwise silently mean "no output".
  for (const char* name : {"state-in", "state-out", "frame-out", "frames-dir", "gif"}) {
    if (isSet(name) && text(name).empty()) return std::string("--") + name + ": the path is empty";
  }
  options.stateIn = text("state-in");
  options.stateOut = text("state-out");
  options.frameOut = text("frame-out");
  options.framesDir = text("frames-dir");
  options.gifOut = text("gif");
  if (options.gifFrom && options.gifOut.empty()) return "--gif-from goes with --gif";
  if (options.gifFrom && *options.gifFrom > options.ticks) {
    return "--gif-from: " + std::to_string(*options.gifFrom) + " is after the last tick, " +
           std::to_string(options.ticks);
  }
  return {};
}

}  // namespace

std::string OptionBytes(const QString& text) { return text.toLatin1().toStdString(); }

std::string ParseArguments(QCommandLineParser& parser, const std::vector<std::string>& arguments,
                           const char* program) {
  QStringList list;
  for (const std::string& argument : arguments) {
    list << QString::fromLatin1(argument.data(), static_cast<qsizetype>(argument.size()));
  }
  if (list.isEmpty()) list << QString::fromLatin1(program);
  if (parser.parse(list)) return {};
  // Qt ends its messages with a full stop; our one-line errors do not.
  QString message = parser.errorText();
  if (message.endsWith(QLatin1Char('.'))) message.chop(1);
  return OptionBytes(message);
}

void AddOption(QCommandLineParser& parser, const char* name, const char* help, const char* valueName) {
  parser.addOption(valueName ? QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help),
                                                  QString::fromLatin1(valueName))
                             : QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help)));
}

std::optional<double> ReadNumberText(const std::string& text, const RunSetting& rule, std::string& error) {
  const std::string option = std::string("--") + rule.name;
  double value = 0.0;
  // The whole text must be one decimal number; from_chars takes no
  // whitespace, no sign "+" and no locale, so "12abc", " 12" and "1,5" are
  // all refused.
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || code != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    error = option + ": " + Quoted(text) + " is not a number";
    return std::nullopt;
  }
  if (rule.whole && value != std::trunc(value)) {
    error = option + ": " + Quoted(text) + " is not a whole number";
    return std::nullopt;
  }
  if (value < rule.low || value > rule.high) {
    error = option + ": " + Quoted(text) + " is outside " +
            QString::number(rule.low, 'g', 12).toStdString() + " .. " +
            QString::number(rule.high, 'g', 12).toStdString();
    return std::nullopt;
  }
  return value;
}

void ApplyLink(const SharedRun& run, HeadlessOptions& options) {
  options.seed = run.seed;
  options.count = run.count;
  options.maxSpeed = run.maxSpeed;
  options.size = run.size;
  options.activity = run.activity;
  options.repulsion = run.repulsion;
  options.acceleration = run.acceleration;
  options.repulsiveAcceleration = run.repulsiveAcceleration;
  options.paused = !run.running;
  options.initialRadius = run.initialRadius;
  options.width = run.width;
  options.height = run.height;
  options.showOrientation = run.darts;
}

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
  QCommandLineParser parser;
  AddOptions(parser);
  ParsedOptions parsed;
  parsed.error = ParseArguments(parser, arguments, "zintrel-headless");
  if (!parsed.error.empty()) return parsed;
  if (!parser.positionalArguments().isEmpty()) {
    parsed.error = "unexpected argument " + Quoted(OptionBytes(parser.positionalArguments().first()));
    return parsed;
  }
  parsed.error = ReadOptions(parser, parsed.options);
  return parsed;
}

std::string HelpText() {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Runs the Zintrel particle simulation without a window: the same tick as the\n"
      "application (measure, rescale, step, render), then writes what is asked for.\n"
      "Exit status: 0 done, 1 arithmetic fault during the run, 2 bad input."));
  AddOptions(parser);
  // helpText() names the running program; ours is always zintrel-headless.
  QString text = parser.helpText();
  const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
  text.replace(0, lineEnd, QStringLiteral("Usage: zintrel-headless [options]"));
  return text.toStdString();
}

}  // namespace zintrel
