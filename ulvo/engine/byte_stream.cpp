#include "ulvo/engine/byte_stream.h"

namespace ulvo {

std::string_view InputBuffer::Read(uint64_t n) {
  const uint64_t left = bytes_.size() - position_;
  if (n > left) n = left;
  std::string_view view(bytes_.data() + position_, n);
  position_ += n;
  return view;
}

std::string_view InputBuffer::Peek(uint64_t n) const {
  const uint64_t left = bytes_.size() - position_;
  return std::string_view(bytes_.data() + position_, n < left ? n : left);
}

}  // namespace ulvo
