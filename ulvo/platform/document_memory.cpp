#include "ulvo/platform/document_memory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <pugixml.hpp>

#if defined(__SANITIZE_ADDRESS__)
#define ULVO_ARENAS 0
#elif defined(__unix__)
#define ULVO_ARENAS 1
#include <sys/mman.h>
#else
#define ULVO_ARENAS 0
#endif

namespace ulvo {

#if ULVO_ARENAS
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kArenaSize = 4 * kHugePage;
// Requests above this get a mapping of their own, so one large buffer does not waste an arena.
constexpr size_t kOwnMappingFrom = kArenaSize / 4;
constexpr size_t kAlignment = alignof(std::max_align_t);

size_t RoundUp(size_t n, size_t to) {
  return (n + to - 1) / to * to;
}

// A region handed out front to back. Freed blocks are not reused one by one (pugixml frees
// whole documents or whole 32 KB blocks); the region is given back once nothing in it lives.
struct Arena {
  char* base = nullptr;
  size_t size = 0;
  size_t used = 0;
  size_t live = 0;
};

class ArenaHeap {
 public:
  void* Allocate(size_t size) {
    const size_t need = RoundUp(size == 0 ? 1 : size, kAlignment);
    std::lock_guard<std::mutex> lock(mutex_);
    if (need >= kOwnMappingFrom) {
      Arena* own = Map(RoundUp(need, kHugePage));
      if (!own) return nullptr;
      own->used = need;
      own->live = 1;
      return own->base;
    }
    if (!current_ || current_->size - current_->used < need) {
      current_ = Map(kArenaSize);
      if (!current_) return nullptr;
    }
    void* block = current_->base + current_->used;
    current_->used += need;
    ++current_->live;
    return block;
  }

  void Free(void* pointer) {
    if (!pointer) return;
    std::lock_guard<std::mutex> lock(mutex_);
    char* p = static_cast<char*>(pointer);
    auto it = arenas_.upper_bound(p);
    if (it == arenas_.begin() || p >= std::prev(it)->first + std::prev(it)->second->size) {
      std::free(pointer);  // taken from the heap before the arenas were in use
      return;
    }
    --it;
    Arena* arena = it->second.get();
    if (--arena->live != 0) return;
    if (arena == current_) {
      // Kept with its pages in place for the next document.
      arena->used = 0;
      return;
    }
    munmap(arena->base, arena->size);
    arenas_.erase(it);
  }

 private:
  Arena* Map(size_t size) {
    // Huge pages must be aligned to their size, so map a page more and cut to alignment.
    const size_t mapped = size + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(raw);
    char* aligned =
        reinterpret_cast<char*>(RoundUp(reinterpret_cast<std::uintptr_t>(start), kHugePage));
    if (aligned > start) munmap(start, static_cast<size_t>(aligned - start));
    char* end = start + mapped;
    if (end > aligned + size) munmap(aligned + size, static_cast<size_t>(end - (aligned + size)));
#if defined(MADV_HUGEPAGE)
    madvise(aligned, size, MADV_HUGEPAGE);
#endif
    auto arena = std::make_unique<Arena>();
    arena->base = aligned;
    arena->size = size;
    Arena* result = arena.get();
    arenas_.emplace(aligned, std::move(arena));
    return result;
  }

  std::mutex mutex_;
  std::map<char*, std::unique_ptr<Arena>> arenas_;
  Arena* current_ = nullptr;
};

// Never destroyed: documents in static storage may free blocks during exit.
ArenaHeap& Heap() {
  static ArenaHeap* heap = new ArenaHeap();
  return *heap;
}

void* AllocateBlock(size_t size) {
  return Heap().Allocate(size);
}

void FreeBlock(void* pointer) {
  Heap().Free(pointer);
}

std::atomic<bool> inUse{false};

}  // namespace

void UseArenaMemoryForDocuments() {
  static std::once_flag once;
  std::call_once(once, [] {
    pugi::set_memory_management_functions(AllocateBlock, FreeBlock);
    inUse = true;
  });
}

bool ArenaMemoryInUse() {
  return inUse;
}

#else

void UseArenaMemoryForDocuments() {}
bool ArenaMemoryInUse() {
  return false;
}

#endif

}  // namespace ulvo
