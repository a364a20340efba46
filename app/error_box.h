#pragma once

#include <exception>
#include <new>
#include <utility>

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include "settings/catalog.h"
#include "settings/display_texts.h"

class QWidget;

namespace zintrel {

// Returns the application's title for an executable path: the file name
// without directory and extension, its first character unchanged and the
// rest in lower case ("/usr/bin/ZinTrel.bin" gives "Zintrel").
QString ApplicationTitle(const QString& executablePath);

// Returns the text the error box shows for an error message: the message
// with the language's full stop appended, unless it already ends with one.
QString ErrorBoxText(const QString& message);

// The application's error box: a critical message box with an OK button,
// captioned with the application's title. It opens without a nested event
// loop, so the handler that failed has fully returned and the timer goes on
// ticking behind the box. While a box is open further errors are dropped
// instead of piling up one box per tick.
class ErrorBox : public QObject {
 public:
  explicit ErrorBox(QWidget* owner);

  // Shows message in a new box unless one is already open. A notice that is
  // no error (an opened state that does not fit the screen) takes another
  // icon.
  void Report(const QString& message, QMessageBox::Icon icon = QMessageBox::Critical);

  // Returns the open box, or null when none is open.
  QMessageBox* OpenBox() const;

 private:
  QWidget* owner_;
  QPointer<QMessageBox> box_;
};

// Runs action; a run-time error escaping it abandons it and is reported in
// box. Every handler and tick goes through here, because an exception must
// never unwind through Qt's event loop.
template <typename Action>
void RunGuarded(ErrorBox& box, Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const std::bad_alloc&) {
    // What the library says ("std::bad_alloc") tells a person nothing.
    box.Report(QString::fromUtf8(NotEnoughMemoryText()));
  } catch (const std::exception& error) {
    box.Report(QString::fromUtf8(error.what()));
  } catch (...) {
    box.Report(QString::fromUtf8(Tr("Unknown exception")));
  }
}

}  // namespace zintrel
