#include "kavex/platform/config_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace kavex {
namespace {

std::filesystem::path ToPath(const QString& s) {
  return std::filesystem::path(QFile::encodeName(s).toStdString());
}

}  // namespace

SettingsPaths KavexSettingsPaths() {
  QString folder = qEnvironmentVariable("KAVEX_CONFIG_DIR");
  if (folder.isEmpty()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/Kavex");
  }
  const std::filesystem::path base = ToPath(QDir::cleanPath(folder));
  return {base / "Kavex.ini", base / "Kavex.ibk"};
}

std::string DefaultDataDir() {
  return QFile::encodeName(QDir::homePath()).toStdString();
}

std::filesystem::path KavexCaptureFolder() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return ToPath(QDir::cleanPath(data + QStringLiteral("/Kavex/Captures")));
}

std::string DataDir() {
  const QString dir =
      QCoreApplication::applicationDirPath() + QStringLiteral("/" KAVEX_DATA_FROM_BIN);
  return QFile::encodeName(QDir::cleanPath(dir)).toStdString();
}

std::string HelpFilePath() {
  return DataDir() + "/help/index.html";
}

}  // namespace kavex
