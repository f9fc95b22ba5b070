#include "ulvo/platform/qt_profile_store.h"

#include <QSettings>

namespace ulvo {

namespace {

// Sections are written with backslashes ("INSTRUMENT\name\LASTUSED"); QSettings nests groups
// with slashes on every platform.
QString KeyOf(const std::string& section, const std::string& key) {
  QString path = QString::fromStdString(section);
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return path + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

QtProfileStore::QtProfileStore()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Varnel Zeruro BV"),
                                            QStringLiteral("ULVO"))) {}

QtProfileStore::QtProfileStore(const std::filesystem::path& iniFile)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(iniFile.string()),
                                            QSettings::IniFormat)) {}

QtProfileStore::~QtProfileStore() = default;

std::optional<std::string> QtProfileStore::GetText(const std::string& section,
                                                   const std::string& key) const {
  const QVariant v = settings_->value(KeyOf(section, key));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

std::optional<int64_t> QtProfileStore::GetNumber(const std::string& section,
                                                 const std::string& key) const {
  const QVariant v = settings_->value(KeyOf(section, key));
  if (!v.isValid()) return std::nullopt;
  bool ok = false;
  const qlonglong n = v.toString().trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<int64_t>(n);
}

void QtProfileStore::SetText(const std::string& section, const std::string& key,
                             const std::string& value) {
  settings_->setValue(KeyOf(section, key), QString::fromStdString(value));
  settings_->sync();
}

void QtProfileStore::SetNumber(const std::string& section, const std::string& key, int64_t value) {
  settings_->setValue(KeyOf(section, key), static_cast<qlonglong>(value));
  settings_->sync();
}

}  // namespace ulvo
