#include "ulvo/platform/program_folder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "ulvo/engine/replace_file.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

using Digests = ShippedDigests;

bool HoldsProgramData(const fs::path& dir) {
  std::error_code ec;
  return !dir.empty() &&
         (fs::is_directory(dir / "IIF", ec) || fs::is_directory(dir / "Formats", ec));
}

QString QPath(const fs::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// Empty when the file cannot be read.
std::string Digest(const fs::path& file) {
  QFile f(QPath(file));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&f)) return {};
  return hash.result().toHex().toStdString();
}

}  // namespace

Digests ReadShippedList(const fs::path& file) {
  Digests digests;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 67 || line.compare(64, 2, "  ") != 0) continue;
    digests[line.substr(66)] = line.substr(0, 64);
  }
  return digests;
}

bool WriteShippedList(const fs::path& file, const Digests& digests) {
  QSaveFile out(QPath(file));
  if (!out.open(QIODevice::WriteOnly)) return false;
  for (const auto& [path, digest] : digests) {
    out.write(QByteArray::fromStdString(digest + "  " + path + "\n"));
  }
  return out.commit();
}

namespace {

// Replaces target by a copy of source only once the copy is whole and on disk.
bool CopyOver(const fs::path& source, const fs::path& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  return ReplaceFileWith(target, bytes).empty();
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

void SeedUserFolder(const fs::path& installed, const fs::path& user) {
  std::error_code ec;
  if (!fs::is_directory(installed, ec)) return;
  fs::create_directories(user, ec);
  const fs::path listFile = user / kShippedList;
  const Digests before = ReadShippedList(listFile);
  Digests after = before;
  for (auto it = fs::recursive_directory_iterator(installed, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code fileEc;
    const std::string relative = fs::relative(it->path(), installed, fileEc).generic_string();
    if (fileEc || relative.empty()) continue;
    const fs::path target = user / relative;
    if (it->is_directory(fileEc)) {
      fs::create_directories(target, fileEc);
      continue;
    }
    const std::string shipped = Digest(it->path());
    if (shipped.empty()) continue;
    const auto known = before.find(relative);
    if (!fs::exists(target, fileEc)) {
      // Listed but gone: the user deleted it, and it stays deleted.
      if (known == before.end() && CopyOver(it->path(), target)) after[relative] = shipped;
      continue;
    }
    if (known == before.end()) {
      // Not copied by us as far as we know: adopt it only when it is the shipped file.
      if (Digest(target) == shipped) after[relative] = shipped;
    } else if (known->second != shipped && Digest(target) == known->second) {
      // A newer shipped version of a copy the user has not changed.
      if (CopyOver(it->path(), target)) after[relative] = shipped;
    }
  }
  if (after != before || !fs::exists(listFile, ec)) WriteShippedList(listFile, after);
}

fs::path ResolveProgramFolder(const ProgramFolderSources& sources) {
  if (!sources.homeVariable.empty()) return fs::path(sources.homeVariable);
  if (HoldsProgramData(sources.executableDir)) return sources.executableDir;
  SeedUserFolder(sources.installedDataDir, sources.userDataDir);
  return sources.userDataDir;
}

fs::path InstalledDataDir(const fs::path& executableDir) {
  return (executableDir / ULVO_DATA_FROM_BIN).lexically_normal();
}

ProgramFolderSources CurrentProgramFolderSources() {
  ProgramFolderSources s;
  if (const char* home = std::getenv("ULVO_HOME")) s.homeVariable = home;
  s.executableDir = ExecutableDir();
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + "/.local/share";
  s.userDataDir = fs::path(data.toStdString()) / "ULVO";
  s.installedDataDir = InstalledDataDir(s.executableDir);
  return s;
}

fs::path ProgramFolder(const fs::path& override) {
  if (!override.empty()) return override;
  return ResolveProgramFolder(CurrentProgramFolderSources());
}

}  // namespace ulvo
