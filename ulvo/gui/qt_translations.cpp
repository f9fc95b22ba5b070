#include "ulvo/gui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ulvo {

bool InstallQtTranslations(const std::string& language, QObject* owner) {
  if (language.empty()) return false;
  auto* translator = new QTranslator(owner);
  // "qtbase" holds the texts of the widgets and dialogs ULVO shows.
  if (!translator->load(QLocale(QString::fromStdString(language)), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace ulvo
