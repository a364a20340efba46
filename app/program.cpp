#include "app/program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdlib>

#include "app/app_icon.h"
#include "app/japanese_font.h"
#include "settings/catalog.h"
#include "settings/ui_language.h"

namespace zintrel {

void ChooseUiLanguage() {
  SetUiLanguage(LanguageFromEnvironment([](const char* name) { return std::getenv(name); }));
}

void PrepareApplication(QApplication& application) {
  // The program's own texts are built in; Qt's come with the system, and
  // without them its dialogs' buttons simply stay in English.
  auto* qtTexts = new QTranslator(&application);
  if (qtTexts->load(QStringLiteral("qtbase_") + QString::fromStdString(UiLanguage()),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qtTexts);
  }
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
