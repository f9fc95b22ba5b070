#include "ulvo/transfer/serial_device.h"

#include <algorithm>

namespace ulvo {

std::chrono::milliseconds TotalReadWait(const ReadTimeouts& t, size_t count) {
  const unsigned long long total =
      static_cast<unsigned long long>(t.multiplier) * count + t.constant;
  if (total == 0) return kMaxReadWait;
  return std::chrono::milliseconds(
      std::min<unsigned long long>(total, static_cast<unsigned long long>(kMaxReadWait.count())));
}

}  // namespace ulvo
