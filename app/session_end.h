#pragma once

#include <QObject>

class QSocketNotifier;

namespace zintrel {

// Ends the program as quitting does when it is told to stop rather than
// closed: SIGTERM (a shutdown, a logout, kill), SIGHUP (its terminal
// closed) and SIGINT (Ctrl+C) make the event loop return, so that what
// quitting finishes (a recording, put on its name whole) is finished. The
// handler only writes the signal's number to a pipe; the loop reads it.
class SessionEnd : public QObject {
  Q_OBJECT

 public:
  SessionEnd();
  ~SessionEnd() override;

  // The signal that ended the loop, or 0.
  int Signal() const { return signal_; }
  // Ends the process by that signal, once everything is finished, so that
  // whoever started the program sees how it ended (status 128 + N).
  void Reraise() const;

 private:
  QSocketNotifier* notifier_ = nullptr;
  int signal_ = 0;
};

// Calls finish when the process exits from within a library, as Qt does
// when the connection to the display is lost, without returning through
// main: the one thing still worth doing then is finishing the files.
void FinishFilesAtExit(void (*finish)());

}  // namespace zintrel
