#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCommandLineParser;
class QString;

namespace zintrel {

// Which step the ticks run.
enum class StepKind { kFast, kLiteral };

// Everything the command line of zintrel-headless can ask for. An absent
// optional means "keep what the start state has".
struct HeadlessOptions {
  bool help = false;
  bool version = false;

  std::optional<std::uint32_t> seed;  // Default: milliseconds since midnight UTC.
  std::string stateIn;                // Empty: the application's start-up state.

  // Overrides of the start state, applied in this order.
  std::optional<std::int32_t> count;
  std::optional<double> maxSpeed;
  std::optional<double> size;
  std::optional<double> activity;
  std::optional<double> repulsion;
  std::optional<double> acceleration;
  std::optional<double> repulsiveAcceleration;
  bool paused = false;
  std::optional<double> initialRadius;  // Scatters again after the other overrides.

  std::optional<std::int32_t> width;   // The client size every tick measures.
  std::optional<std::int32_t> height;  // Default: the start state's field size.
  std::int64_t ticks = 0;
  // Darts (true, --darts) or discs (false, --discs). Default: what the state
  // file says, else darts, as at start.
  std::optional<bool> showOrientation;
  StepKind step = StepKind::kFast;
  std::string simd = "auto";  // The fast step's SIMD target: auto, avx3, avx2, sse4, ssse3 or scalar.
  std::optional<std::int32_t> threads;  // Of the fast step. Default: its own choice (every core).

  std::string stateOut;
  std::string frameOut;
  std::string framesDir;
  std::string gifOut;  // An animated GIF of every tick's frame.
  // The first tick (from 1) the GIF records; the ticks before it run but are
  // not recorded, so an animation can start once a run has settled.
  std::optional<std::int64_t> gifFrom;
  bool stats = false;
};

// The outcome of parsing: the options, or one line naming what is wrong.
struct ParsedOptions {
  HeadlessOptions options;
  std::string error;  // Empty when the command line is good.
};

// Parses the arguments (the program name first, as main receives them).
// Numbers must be written in full, with nothing before or after them, and lie
// inside the range of the control they stand for; whole-number options
// accept only whole numbers.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments);

// Parses arguments (the program name first; program stands in for an empty
// list) with parser, each byte as one character, so that every value, a
// path that is not UTF-8 above all, comes back as the very bytes given
// (OptionBytes). Returns "" or Qt's error as one line.
std::string ParseArguments(QCommandLineParser& parser, const std::vector<std::string>& arguments,
                           const char* program);
// Returns an argument's bytes, as ParseArguments gave them to the parser.
std::string OptionBytes(const QString& text);

// Declares the option --name on parser, with a value named valueName
// unless that is null, and its help text.
void AddOption(QCommandLineParser& parser, const char* name, const char* help, const char* valueName = nullptr);

// Reads text as the value of the numeric option rule names: one decimal
// number, whole where the rule says so, inside its range. Returns it, or
// nothing with error set to one line naming the option and the problem.
struct RunSetting;
std::optional<double> ReadNumberText(const std::string& text, const RunSetting& rule, std::string& error);

// Sets the options a link of the web page stands for: its seed, every
// override, Running, the display size and the drawing mode.
struct SharedRun;
void ApplyLink(const SharedRun& run, HeadlessOptions& options);

// Returns the --help text.
std::string HelpText();

}  // namespace zintrel
