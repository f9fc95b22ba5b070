#include "ulvo/platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

bool HoldsProgramData(const fs::path& dir) {
  std::error_code ec;
  return !dir.empty() &&
         (fs::is_directory(dir / "IIF", ec) || fs::is_directory(dir / "Formats", ec));
}

void SeedMissing(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return;
  fs::create_directories(to, ec);
  for (auto it = fs::recursive_directory_iterator(from, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path target = to / fs::relative(it->path(), from, ec);
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
    } else if (!fs::exists(target, ec)) {
      fs::copy_file(it->path(), target, ec);
    }
  }
}

fs::path ExecutableDir() {
  if (QCoreApplication::instance()) {
    return fs::path(QCoreApplication::applicationDirPath().toStdString());
  }
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

}  // namespace

fs::path ResolveProgramFolder(const ProgramFolderSources& sources) {
  if (!sources.homeVariable.empty()) return fs::path(sources.homeVariable);
  if (HoldsProgramData(sources.executableDir)) return sources.executableDir;
  SeedMissing(sources.installedDataDir, sources.userDataDir);
  return sources.userDataDir;
}

ProgramFolderSources CurrentProgramFolderSources() {
  ProgramFolderSources s;
  if (const char* home = std::getenv("ULVO_HOME")) s.homeVariable = home;
  s.executableDir = ExecutableDir();
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + "/.local/share";
  s.userDataDir = fs::path(data.toStdString()) / "ULVO";
  s.installedDataDir = fs::path(ULVO_INSTALLED_DATA_DIR);
  return s;
}

fs::path ProgramFolder(const fs::path& override) {
  if (!override.empty()) return override;
  return ResolveProgramFolder(CurrentProgramFolderSources());
}

}  // namespace ulvo
