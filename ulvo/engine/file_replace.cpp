#include "ulvo/engine/file_replace.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr size_t kRandomLength = 6;

bool WriteAll(std::FILE* file, std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::string RandomPart() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
  std::string part;
  for (size_t i = 0; i < kRandomLength; ++i) part.push_back(kChars[pick(generator)]);
  return part;
}

std::string Reason(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

bool Fail(std::string* reason, const std::string& why) {
  if (reason) *reason = why;
  return false;
}

}  // namespace

bool IsReplaceTemporary(const fs::path& entry) {
  // ".<name>.<random>.tmp"
  const std::string name = entry.filename().string();
  const size_t minimum = 1 + 1 + 1 + kRandomLength + kTemporarySuffix.size();
  if (name.size() < minimum || name[0] != '.') return false;
  if (name.compare(name.size() - kTemporarySuffix.size(), kTemporarySuffix.size(),
                   kTemporarySuffix) != 0) {
    return false;
  }
  return name[name.size() - kTemporarySuffix.size() - kRandomLength - 1] == '.';
}

bool ReplaceFile(const fs::path& path, std::string_view bytes, std::string* reason,
                 const ChunkWriter& write) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(path, ec)) {
    target = fs::weakly_canonical(path, ec);
    if (ec) return Fail(reason, ec.message());
  }
  const fs::file_status old = fs::status(target, ec);
  const bool existed = fs::exists(old);
  if (fs::is_directory(old)) return Fail(reason, Reason(EISDIR));
  if (existed) {
    // A file the user made read-only stays as it is, though its folder would allow a rename.
    errno = 0;
    std::FILE* probe = std::fopen(target.string().c_str(), "ab");
    if (!probe) return Fail(reason, Reason(errno));
    std::fclose(probe);
  }

  fs::path temporary;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temporary = target.parent_path() / ("." + target.filename().string() + "." + RandomPart() +
                                        std::string(kTemporarySuffix));
    errno = 0;
    // "x": never open a file that is already there.
    file = std::fopen(temporary.string().c_str(), "wbx");
    if (!file && errno != EEXIST) return Fail(reason, Reason(errno));
  }
  if (!file) return Fail(reason, Reason(EEXIST));

  errno = 0;
  bool ok = write ? write(file, bytes) : WriteAll(file, bytes);
  int error = errno;
  if (ok && std::fflush(file) != 0) {
    ok = false;
    error = errno;
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && existed) fs::permissions(temporary, old.permissions(), ec);
  if (ok) {
    fs::rename(temporary, target, ec);
    if (ec) {
      ok = false;
      error = ec.value();
    }
  }
  if (!ok) {
    fs::remove(temporary, ec);
    return Fail(reason, Reason(error));
  }
  return true;
}

}  // namespace ulvo
