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

uint64_t InputBuffer::FindFrom(const void* key, std::string_view text, uint64_t avail,
                               uint64_t& scanned) {
  scanned = 0;
  const uint64_t from = position_;
  const uint64_t left = bytes_.size() - position_;
  const uint64_t to = from + (avail < left ? avail : left);
  auto memo = searches_.find(key);
  if (memo != searches_.end() && memo->second.from <= from) {
    // The first place at or after the earlier start is also the first at or after this one,
    // as long as it does not lie before it.
    const SearchMemo& m = memo->second;
    if (m.found && m.at >= from) return m.at + text.size() <= to ? m.at - from : avail;
    if (!m.found && to <= m.to) return avail;
  }
  const size_t at = Peek(avail).find(text);
  SearchMemo& m = searches_[key];
  m.from = from;
  m.to = to;
  m.found = at != std::string_view::npos;
  m.at = m.found ? from + at : 0;
  scanned = m.found ? at : to - from;
  return m.found ? at : avail;
}

}  // namespace ulvo
