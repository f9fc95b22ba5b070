#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace powercut {

// A small ext4 file system on a loop device that can lose its power: what the writers under
// test leave in the page cache and the journal is gone after CutAndRemount, as after a cut.
// Needs root, a loop device and mkfs.ext4.
class Volume {
 public:
  // mountOptions as mount(8) takes them ("noauto_da_alloc"); empty: ext4's defaults.
  explicit Volume(std::string mountOptions = {});
  ~Volume();
  Volume(const Volume&) = delete;
  Volume& operator=(const Volume&) = delete;

  // Why there is no volume (not root, no loop device, ...); empty when Dir() is mounted.
  const std::string& Problem() const { return problem_; }
  const std::filesystem::path& Dir() const { return dir_; }

  // Makes everything written so far durable: the state a test starts from.
  void Settle();
  // Shuts the file system down without flushing its journal, unmounts it, detaches the loop
  // device (dropping its cache) and mounts the image again. False, with why, on failure.
  bool CutAndRemount(std::string& why);

 private:
  bool Attach(std::string& why);
  void Detach();
  bool Mount(std::string& why);

  std::string options_;
  std::filesystem::path work_;
  std::filesystem::path image_;
  std::filesystem::path dir_;
  std::string device_;
  int loopFd_ = -1;
  bool mounted_ = false;
  std::string problem_;
};

// What a file holds after a cut, against its bytes before and after the write.
enum class Outcome { Old, New, Lost };
const char* OutcomeName(Outcome outcome);
// Old when it holds oldBytes (oldExisted: the file was there before), New when newBytes,
// Lost otherwise (missing, empty, half written).
Outcome Judge(const std::filesystem::path& file, bool oldExisted, const std::string& oldBytes,
              const std::string& newBytes);

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

// Seconds after a writer returns at which its file system loses power: POWER_CUT_MOMENTS
// ("0,3,10,20") when set, else def.
std::vector<int> Moments(std::vector<int> def);

}  // namespace powercut
