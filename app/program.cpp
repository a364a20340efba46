#include "app/program.h"

#include <QApplication>
#include <QStyleFactory>

#include "app/app_icon.h"
#include "app/japanese_font.h"

namespace zintrel {

void PrepareApplication(QApplication& application) {
  InstallJapaneseFontSubstitution();
  // Fusion on every desktop: the layout is pixel-exact, and Fusion pages a
  // slider by a click in its channel where some styles jump to the click.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
    QApplication::setStyle(fusion);
  }
  application.setWindowIcon(ZintrelIcon());
}

Program::Program() : form1_(field_, bitmap_, random_), form2_(bitmap_), menu_(form1_, form2_, bitmap_) {
  form1_.SetDisplayWindow(&form2_);
  form2_.show();
  form1_.show();
  form1_.activateWindow();
}

}  // namespace zintrel
