#include "platform/mshtml/parser_arena.h"

#include <sys/mman.h>

#include <cstring>

namespace platform::mshtml {
namespace {

// Memory straight from the system, aligned to its own size's page, so that what the parser's
// tree gives back leaves the process instead of lying in the heap beside the model.
char* MapAligned(std::size_t bytes, std::size_t align) {
  std::size_t span = bytes + align;
  void* p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto at = reinterpret_cast<std::uintptr_t>(p);
  auto aligned = (at + align - 1) & ~(std::uintptr_t{align} - 1);
  if (aligned > at) munmap(p, aligned - at);
  std::size_t tail = at + span - (aligned + bytes);
  if (tail) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  return reinterpret_cast<char*>(aligned);
}

}  // namespace

ParserArena::~ParserArena() {
  for (char* p : pages_)
    if (p) munmap(p, reinterpret_cast<Page*>(p)->count * kPage);
  if (regionTop_ < regionEnd_) munmap(regionTop_, regionEnd_ - regionTop_);
}

GumboOptions ParserArena::Options() {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  options.allocator = &ParserArena::Allocate;
  options.deallocator = &ParserArena::Free;
  options.userdata = this;
  return options;
}

void* ParserArena::Allocate(void* self, std::size_t size) {
  return static_cast<ParserArena*>(self)->Take(size);
}

void ParserArena::Free(void* self, void* piece) {
  static_cast<ParserArena*>(self)->Give(piece);
}

char* ParserArena::NewPages(std::size_t count) {
  char* p = nullptr;
  if (count == 1) {
    if (regionTop_ == regionEnd_) {
      regionTop_ = MapAligned(kRegionPages * kPage, kPage);
      if (!regionTop_) {
        regionEnd_ = nullptr;
        return nullptr;
      }
      regionEnd_ = regionTop_ + kRegionPages * kPage;
    }
    p = regionTop_;
    regionTop_ += kPage;
  } else {
    p = MapAligned(count * kPage, kPage);
    if (!p) return nullptr;
  }
  *reinterpret_cast<Page*>(p) = {0, 0, 0, static_cast<std::uint32_t>(pages_.size()),
                                 static_cast<std::uint32_t>(count)};
  pages_.push_back(p);
  heldBytes_ += count * kPage;
  return p;
}

void* ParserArena::Take(std::size_t size) {
  std::size_t c = ClassOf(size);
  if (c >= kClasses) {
    char* p = NewPages((kPageHeader + size + kPage - 1) / kPage);
    if (!p) return nullptr;
    auto* page = reinterpret_cast<Page*>(p);
    page->cls = kLarge;
    page->live = 1;
    ++livePieces_;
    return p + kPageHeader;
  }
  if (void* p = free_[c]) {
    std::memcpy(&free_[c], p, sizeof(void*));
    ++PageOf(p)->live;
    ++livePieces_;
    return p;
  }
  std::size_t need = ClassSize(c);
  if (static_cast<std::size_t>(end_[c] - top_[c]) < need) {
    char* p = NewPages(1);
    if (!p) return nullptr;
    reinterpret_cast<Page*>(p)->cls = static_cast<std::uint16_t>(c);
    top_[c] = p + kPageHeader;
    end_[c] = p + kPage;
  }
  char* piece = top_[c];
  top_[c] += need;
  ++PageOf(piece)->live;
  ++livePieces_;
  return piece;
}

void ParserArena::Give(void* piece) {
  if (!piece) return;
  Page* page = PageOf(piece);
  if (!parsing_ || page->cls == kLarge) {
    Release(piece);
    return;
  }
  --page->live;
  --livePieces_;
  std::memcpy(piece, &free_[page->cls], sizeof(void*));
  free_[page->cls] = piece;
}

void ParserArena::EndParse() {
  parsing_ = false;
  for (std::size_t c = 0; c < kClasses; ++c) free_[c] = top_[c] = end_[c] = nullptr;
  if (regionTop_ < regionEnd_) munmap(regionTop_, regionEnd_ - regionTop_);
  regionTop_ = regionEnd_ = nullptr;
  for (char* p : pages_)
    if (p && reinterpret_cast<Page*>(p)->live == 0) DropPage(reinterpret_cast<Page*>(p));
}

void ParserArena::Release(void* piece) {
  if (!piece) return;
  Page* page = PageOf(piece);
  --livePieces_;
  // While the parser still carves from a page, the page stays even when it empties.
  if (--page->live == 0 && (!parsing_ || page->cls == kLarge)) DropPage(page);
}

void ParserArena::DropPage(Page* page) {
  char*& slot = pages_[page->index];
  std::size_t bytes = page->count * kPage;
  munmap(slot, bytes);
  slot = nullptr;
  heldBytes_ -= bytes;
}

}  // namespace platform::mshtml
