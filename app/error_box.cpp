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

void ErrorBox::Report(const QString& message, QMessageBox::Icon icon) {
  if (OpenBox() != nullptr) return;
  auto* box = new QMessageBox(icon,
                              ApplicationTitle(QCoreApplication::applicationFilePath()),
                              ErrorBoxText(message), QMessageBox::Ok, owner_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Modal like any message box, but shown without exec(): a nested event loop
  // inside a handler would let ticks run in the middle of it.
  box->setWindowModality(Qt::ApplicationModal);
  box_ = box;
  box->show();
}

}  // namespace zintrel
