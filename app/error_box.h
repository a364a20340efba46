#pragma once

#include <deque>
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
// ticking behind the box; it is application modal, so neither window takes
// input while it is open. A report made while a box is open waits for it and
// is shown next, in the order made; only a report the open box or a waiting
// one already tells, word for word, is not told twice, so that a fault
// recurring behind its box queues no box per recurrence.
class ErrorBox : public QObject {
 public:
  // Boxes go over owner unless a report names another window.
  explicit ErrorBox(QWidget* owner);

  // Shows message in a box over the window over (or the owner), now or once
  // the boxes before it are closed. A notice that is no error (an opened
  // state that does not fit the screen) takes another icon.
  void Report(const QString& message, QMessageBox::Icon icon = QMessageBox::Critical, QWidget* over = nullptr);

  // Returns the open box, or null when none is open.
  QMessageBox* OpenBox() const;
  // Returns how many reports wait for the open box to close.
  int Waiting() const { return static_cast<int>(waiting_.size()); }

 private:
  struct Message {
    QString text;
    QMessageBox::Icon icon;
    QPointer<QWidget> over;
  };
  // Opens the box for the first waiting report, if any.
  void ShowNext();

  QWidget* owner_;
  QPointer<QMessageBox> box_;
  std::deque<Message> waiting_;
};

// Runs action; a run-time error escaping it abandons it and is reported in
// box, over the window over (or the box's owner). Every handler and tick
// goes through here, because an exception must never unwind through Qt's
// event loop.
template <typename Action>
void RunGuarded(ErrorBox& box, Action&& action, QWidget* over = nullptr) {
  try {
    std::forward<Action>(action)();
  } catch (const std::bad_alloc&) {
    // What the library says ("std::bad_alloc") tells a person nothing.
    box.Report(QString::fromUtf8(NotEnoughMemoryText()), QMessageBox::Critical, over);
  } catch (const std::exception& error) {
    box.Report(QString::fromUtf8(error.what()), QMessageBox::Critical, over);
  } catch (...) {
    box.Report(QString::fromUtf8(Tr("Unknown exception")), QMessageBox::Critical, over);
  }
}

}  // namespace zintrel
