#include "app/error_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "settings/display_texts.h"

namespace zintrel {

QString ApplicationTitle(const QString& executablePath) {
  const QString name = QFileInfo(executablePath).completeBaseName();
  if (name.isEmpty()) return name;
  // A first character outside the basic plane takes two code units.
  const qsizetype firstLength = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
  return name.left(firstLength) + name.mid(firstLength).toLower();
}

QString ErrorBoxText(const QString& message) {
  return QString::fromStdString(WithFullStop(message.toStdString()));
}

ErrorBox::ErrorBox(QWidget* owner) : QObject(owner), owner_(owner) {}

QMessageBox* ErrorBox::OpenBox() const {
  // A closed box lingers until its deferred deletion; it no longer counts.
  return box_ && box_->isVisible() ? box_.data() : nullptr;
}

void ErrorBox::Report(const QString& message, QMessageBox::Icon icon, QWidget* over) {
  const QString text = ErrorBoxText(message);
  const auto same = [&](const QString& otherText, QMessageBox::Icon otherIcon) {
    return otherText == text && otherIcon == icon;
  };
  if (const QMessageBox* open = OpenBox(); open != nullptr && same(open->text(), open->icon())) return;
  for (const Message& waiting : waiting_) {
    if (same(waiting.text, waiting.icon)) return;
  }
  waiting_.push_back({text, icon, over != nullptr ? over : owner_});
  if (OpenBox() == nullptr) ShowNext();
}

void ErrorBox::ShowNext() {
  if (waiting_.empty()) return;
  const Message next = waiting_.front();
  waiting_.pop_front();
  auto* box = new QMessageBox(next.icon, ApplicationTitle(QCoreApplication::applicationFilePath()), next.text,
                              QMessageBox::Ok, next.over != nullptr ? next.over.data() : owner_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // The text quotes files, names and links as they are: shown as text, never
  // read as markup that could draw a link or a heading.
  box->setTextFormat(Qt::PlainText);
  // Modal like any message box, but shown without exec(): a nested event
  // loop inside a handler would let ticks run in the middle of it.
  box->setWindowModality(Qt::ApplicationModal);
  // Hidden by then, the box hands over to the next report.
  connect(box, &QDialog::finished, this, &ErrorBox::ShowNext);
  box_ = box;
  box->show();
}

}  // namespace zintrel
