#include "kavex/platform/port_paths.h"

#include "kavex/platform/config_paths.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <vector>

namespace kavex {

PortPaths DefaultPortPaths() {
#if defined(_WIN32)
  PortPaths paths{"COM1", "COM2", {}, {}};
#else
  PortPaths paths{"/dev/ttyS0", "/dev/ttyS1", {}, {}};
#endif
  std::vector<std::string> found;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    found.push_back(info.systemLocation().toStdString());
  std::sort(found.begin(), found.end());
  if (!found.empty()) paths.com1 = found[0];
  if (found.size() > 1) paths.com2 = found[1];
  return paths;
}

std::filesystem::path PortPathsFile() {
  // Beside Kavex.ini, so the program and kavex-cli share one place.
  return KavexSettingsPaths().settingsFile.parent_path() / "KavexPorts.ini";
}

PortPaths LoadPortPaths(const std::filesystem::path& file) {
  PortPaths paths = DefaultPortPaths();
  QSettings ini(QString::fromStdString(file.string()), QSettings::IniFormat);
  // Only a sensible path replaces the default: no control characters, bounded length.
  auto take = [&](const char* key, std::string& into) {
    const std::string v = ini.value(key).toString().trimmed().toStdString();
    if (v.empty() || v.size() > 260) return;
    if (std::any_of(v.begin(), v.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
      return;
    into = v;
  };
  take("Ports/COM1", paths.com1);
  take("Ports/COM2", paths.com2);
  take("Ports/COM1Serial", paths.com1Serial);
  take("Ports/COM2Serial", paths.com2Serial);
  return paths;
}

bool SavePortPaths(const std::filesystem::path& file, const PortPaths& paths) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  QSettings ini(QString::fromStdString(file.string()), QSettings::IniFormat);
  ini.setValue("Ports/COM1", QString::fromStdString(paths.com1));
  ini.setValue("Ports/COM2", QString::fromStdString(paths.com2));
  ini.setValue("Ports/COM1Serial", QString::fromStdString(paths.com1Serial));
  ini.setValue("Ports/COM2Serial", QString::fromStdString(paths.com2Serial));
  ini.sync();
  return ini.status() == QSettings::NoError;
}

}  // namespace kavex
