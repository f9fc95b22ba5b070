#include "ulvo/transfer/fault_device.h"

#include <algorithm>

namespace ulvo {

long FaultInjectingDevice::ReadFrame(std::string& out, size_t max, const FrameNeed& need) {
  if (faults_.unplugAfter != 0 && received_ >= faults_.unplugAfter) unplugged_ = true;
  if (unplugged_) return -1;
  if (max == 0) return 0;
  if (!faults_.noise.empty() && !noiseDone_ && received_ == faults_.noiseAt) {
    noiseDone_ = true;
    const size_t n = std::min(max, faults_.noise.size());
    out.append(faults_.noise, 0, n);
    return static_cast<long>(n);
  }
  if (faults_.silentAfter != 0 && received_ >= faults_.silentAfter) {
    clock_.SleepFor(TotalReadWait(timeouts_, max));
    return 0;
  }
  size_t limit = max;
  if (faults_.maxRead != 0) limit = std::min(limit, faults_.maxRead);
  // A read never runs across an offset where a fault is due.
  for (const size_t boundary : {faults_.splitAt, faults_.silentAfter, faults_.unplugAfter,
                                faults_.noise.empty() || noiseDone_ ? 0 : faults_.noiseAt}) {
    if (boundary > received_) limit = std::min(limit, boundary - received_);
  }
  std::string got;
  const long n = need ? inner_.ReadFrame(got, limit, need) : inner_.Read(got, limit);
  if (n <= 0) return n;
  if (faults_.corruptAt != 0 && faults_.corruptAt >= received_ &&
      faults_.corruptAt < received_ + got.size()) {
    got[faults_.corruptAt - received_] ^= 0x01;
  }
  received_ += got.size();
  out += got;
  return n;
}

bool FaultInjectingDevice::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  ++writes_;
  if (faults_.unplugAtWrite != 0 && writes_ >= faults_.unplugAtWrite) unplugged_ = true;
  if (unplugged_) return false;
  return inner_.Write(bytes, timeout);
}

}  // namespace ulvo
