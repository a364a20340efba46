#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <string>

#include "app/file_names.h"
#include "app/program.h"
#include "app/session_end.h"
#include "settings/catalog.h"

// Takes at most one argument, a saved state to open; without one it reads no
// files or settings and writes nothing unless the user asks for it.
int main(int argc, char* argv[]) {
  // Whole scale factors only: on a 150 % screen the frame is enlarged 2 x 2
  // (or shown 1:1), never stretched by a fraction, which would blur or
  // unevenly repeat its pixels.
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  // The language the user chose for the system, before any text is made.
  zintrel::ChooseUiLanguage();
  QApplication application(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(zintrel::Tr("A cloud of particles that pull on and push against each other.")));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("file"), QString::fromUtf8(zintrel::Tr("A saved state to open (.zintrel).")),
                               QStringLiteral("[FILE]"));
  parser.process(application);
  if (parser.positionalArguments().size() > 1) {
    std::fprintf(stderr, "zintrel: %s\n", zintrel::Tr("Give at most one file"));
    return 2;
  }
  zintrel::PrepareApplication(application);
  zintrel::SessionEnd sessionEnd;
  static zintrel::Program* running = nullptr;
  int status = 0;
  {
    zintrel::Program program;
    running = &program;
    // Qt leaves by exit(1) when the display's connection is lost (a logout,
    // a closed X server): the recording is still put on its name.
    zintrel::FinishFilesAtExit([] {
      if (running == nullptr) return;
      if (const std::string problem = running->Form1().Panel().StopRecordingAtExit(); !problem.empty()) {
        std::fprintf(stderr, "zintrel: %s\n", problem.c_str());
      }
    });
    // A file that cannot be opened is reported in the box like any other,
    // and the program starts as it would without it.
    if (!parser.positionalArguments().isEmpty()) {
      // The name as given, byte for byte: one that is not UTF-8 would not
      // survive the parser's text. QApplication has taken its own options
      // out of argv by now.
      const QString file = parser.positionalArguments().constFirst();
      std::string path = zintrel::SystemPath(file);
      for (int i = 1; i < argc; ++i) {
        if (QFile::decodeName(argv[i]) == file) path = argv[i];
      }
      program.Menu().OpenStateAt(path);
    }
    status = application.exec();
    running = nullptr;
  }
  // Quitting, a signal or the end of the session: the windows are gone and
  // the recording saved with them; the process ends as it was asked to.
  sessionEnd.Reraise();
  return status;
}
