#pragma once

#include <csignal>

namespace zintrel {

// The signals that ask zintrel-headless to stop: Ctrl-C, kill's default and
// a closed terminal.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Installs handlers for the stop signals that only record the first signal
// received; the run looks at it between ticks and while storing frames, and
// ends cleanly. Each handler gives its signal back its default action as it
// runs, so a second Ctrl-C ends the program at once. A stop signal that the
// program was started with ignored (under nohup, or in the background of a
// script) stays ignored: whoever started it asked for that. Returns false
// when a handler could not be installed.
bool InstallStopHandlers();

// Returns the number of the first stop signal received, or 0. Safe to call
// from any thread.
int StopSignal();

// Records signal as if it had been received; 0 forgets a received one. For
// tests, which cannot send real signals to their own process lightly.
void SetStopSignal(int signal);

// Ends the process by signal with the signal's default action, so that the
// caller sees it killed by that signal (a shell loop stops on Ctrl-C only
// then). Call it only after cleaning up, with every stream flushed; it
// returns only if the signal did not end the process.
void EndBySignal(int signal);

}  // namespace zintrel
