#pragma once

#include <cpl_error.h>
#include <gdal_priv.h>

#include <mutex>
#include <string>

namespace ulvo {

// GDAL's drivers, registered once for the process.
inline void StartGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

// While alive, GDAL's errors are kept for the message instead of printed on standard error.
class QuietGdal {
 public:
  QuietGdal() {
    StartGdal();
    CPLErrorReset();
  }
  // GDAL's words for the last failure, or fallback.
  static std::string Reason(const char* fallback) {
    const char* text = CPLGetLastErrorMsg();
    return text && *text ? std::string(text) : std::string(fallback);
  }

 private:
  CPLErrorHandlerPusher pusher_{CPLQuietErrorHandler};
};

}  // namespace ulvo
