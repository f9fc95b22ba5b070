#include "ulvo/engine/byte_stream.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace ulvo {

ByteBlock::ByteBlock(std::string_view bytes) {
  Resize(bytes.size());
  if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

ByteBlock::~ByteBlock() {
  Release();
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : mapped_(std::exchange(other.mapped_, false)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
  if (this != &other) {
    Release();
    mapped_ = std::exchange(other.mapped_, false);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

namespace {

// Blocks from this size on are mapped in whole huge pages; smaller ones come from malloc.
constexpr size_t kHugePage = size_t{2} << 20;
#if defined(__linux__)
constexpr size_t kMappedFrom = size_t{1} << 20;
#else
constexpr size_t kMappedFrom = SIZE_MAX;
#endif

// n bytes of fresh memory at a huge page's boundary (the system may place a mapping
// anywhere), marked for huge pages; nullptr when there is none.
char* MapHuge(size_t n) {
#if defined(__linux__)
  void* raw =
      mmap(nullptr, n + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + n + kHugePage;
  if (end > aligned + n) munmap(reinterpret_cast<void*>(aligned + n), end - aligned - n);
  char* data = reinterpret_cast<char*>(aligned);
  // Only a hint: without huge pages the block is mapped as usual.
  madvise(data, n, MADV_HUGEPAGE);
  return data;
#else
  (void)n;
  return nullptr;
#endif
}

}  // namespace

void ByteBlock::Release() {
#if defined(__linux__)
  if (mapped_) munmap(data_, capacity_);
#endif
  if (!mapped_) std::free(data_);
  data_ = nullptr;
  mapped_ = false;
  capacity_ = 0;
}

void ByteBlock::Allocate(size_t n) {
  if (n > SIZE_MAX / 2) throw std::bad_alloc();
  if (n < kMappedFrom && !mapped_) {
    // realloc keeps the pages of a large block where they are and adds to them.
    void* grown = std::realloc(data_, n);
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = n;
    return;
  }
  n = (n + kHugePage - 1) & ~(kHugePage - 1);
#if defined(__linux__)
  if (mapped_ && mremap(data_, capacity_, n, 0) != MAP_FAILED) {
    // Grown in place: the added part is marked as the rest was.
    madvise(data_ + capacity_, n - capacity_, MADV_HUGEPAGE);
    capacity_ = n;
    return;
  }
#endif
  char* data = MapHuge(n);
  if (!data) throw std::bad_alloc();
  if (size_ > 0) std::memcpy(data, data_, size_);
  const size_t size = size_;
  Release();
  data_ = data;
  mapped_ = true;
  capacity_ = n;
  size_ = size;
}

void ByteBlock::Resize(size_t n) {
  if (n > capacity_) Allocate(n);
  size_ = n;
}

void ByteBlock::Reserve(size_t n) {
  if (n > capacity_) Allocate(n);
}

void ByteBlock::Grow(size_t more) {
  Allocate(std::max(size_ + more, capacity_ + capacity_ / 2 + 64));
}

std::string_view InputBuffer::Read(uint64_t n) {
  const uint64_t left = bytes_.Size() - position_;
  if (n > left) n = left;
  Step(n);
  std::string_view view(bytes_.Data() + position_, n);
  position_ += n;
  return view;
}

std::string_view InputBuffer::Peek(uint64_t n) const {
  const uint64_t left = bytes_.Size() - position_;
  return std::string_view(bytes_.Data() + position_, n < left ? n : left);
}

uint64_t InputBuffer::FindFrom(const void* key, std::string_view text, uint64_t avail,
                               uint64_t& scanned) {
  scanned = 0;
  const uint64_t from = position_;
  const uint64_t left = bytes_.Size() - position_;
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

namespace {

// Rollbacks within this many recent bytes stay in memory.
constexpr uint64_t kHeldBack = 1u << 20;

}  // namespace

OutputBuffer::OutputBuffer(const std::filesystem::path& path) : path_(path) {
  file_.open(path, std::ios::binary | std::ios::trunc);
  // Room for the most ever held back at once, taken once: growing to it step by step would
  // have the system hand out (and clear) fresh memory at every step.
  pending_.reserve(2 * kHeldBack + (64u << 10));
}

void OutputBuffer::Write(std::string_view data) {
  if (data.size() > kMaxDataBytes - Length()) throw std::length_error("output too large");
  pending_.append(data);
  if (!path_.empty() && pending_.size() >= 2 * kHeldBack) FlushOlderThan(kHeldBack);
}

void OutputBuffer::SetLength(uint64_t n) {
  while (!overflows_.empty() && overflows_.back().offset >= n) overflows_.pop_back();
  if (n >= flushed_) {
    pending_.resize(static_cast<size_t>(n - flushed_), '\0');
    return;
  }
  // A rollback behind what the file already holds: cut the file itself.
  pending_.clear();
  file_.close();
  std::error_code ec;
  std::filesystem::resize_file(path_, n, ec);
  if (ec) {
    if (failure_.empty()) failure_ = ec.message();
    throw std::runtime_error("cannot truncate the output");
  }
  errno = 0;
  file_.open(path_, std::ios::binary | std::ios::in | std::ios::out);
  file_.seekp(static_cast<std::streamoff>(n));
  if (!file_) {
    NoteFailure();
    throw std::runtime_error("cannot reopen the output");
  }
  flushed_ = n;
}

void OutputBuffer::FlushOlderThan(uint64_t keep) {
  if (pending_.size() <= keep) return;
  const size_t count = pending_.size() - static_cast<size_t>(keep);
  errno = 0;
  file_.write(pending_.data(), static_cast<std::streamsize>(count));
  if (!file_) {
    NoteFailure();
    throw std::runtime_error("cannot write the output");
  }
  pending_.erase(0, count);
  flushed_ += count;
}

bool OutputBuffer::Finish() {
  if (path_.empty()) return true;
  if (!file_.is_open()) return false;
  try {
    FlushOlderThan(0);
  } catch (const std::exception&) {
    return false;
  }
  errno = 0;
  file_.close();
  if (file_.fail()) {
    NoteFailure();
    return false;
  }
  return true;
}

void OutputBuffer::NoteFailure() {
  if (failure_.empty()) failure_ = std::strerror(errno != 0 ? errno : EIO);
}

void OutputBuffer::NoteOverflow(FieldOverflow overflow) {
  overflows_.push_back(std::move(overflow));
}

}  // namespace ulvo
