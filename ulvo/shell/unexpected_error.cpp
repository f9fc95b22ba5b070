#include "ulvo/shell/unexpected_error.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace ulvo {

std::string DescribeException(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return std::string(kOutOfMemory);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "an unexpected error";
}

std::vector<std::string> FilesNamed(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::vector<std::string> operands;
  for (const std::string& a : args) {
    if (a.empty() || a[0] == '-') continue;
    operands.push_back(a);
    std::error_code ec;
    if (std::filesystem::is_regular_file(a, ec)) files.push_back(a);
  }
  return files.empty() ? operands : files;
}

}  // namespace ulvo
