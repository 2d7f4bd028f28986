// The HTML parser's memory. The parser builds its whole tree before the document model can read
// it; the model is then built while the parser's tree is given back piece by piece, so that the
// two trees are never both whole and the model's own allocations can use what the parser's held.
//
// Pieces of one size class share aligned pages whose header holds the class and the count of
// live pieces, so a piece carries no header of its own; a page leaves the process as soon as its
// last piece is released. While the parser works, the pieces it frees go on a free list of their
// class and are carved again.
#pragma once

#include <gumbo.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::mshtml {

class ParserArena {
 public:
  ParserArena() = default;
  ParserArena(const ParserArena&) = delete;
  ParserArena& operator=(const ParserArena&) = delete;
  ~ParserArena();

  // The parser's options with this arena as its memory; no parse errors are kept.
  GumboOptions Options();
  // The parser's allocator and deallocator (self is the arena).
  static void* Allocate(void* self, std::size_t size);
  static void Free(void* self, void* piece);

  // The parser is done: from now on pieces are only released, and a page whose pieces are all
  // released leaves at once. Pages that hold only freed pieces leave now.
  void EndParse();
  // Releases one piece of the finished tree, at most once; null is ignored.
  void Release(void* piece);

  // Memory the arena holds from the system, in bytes, and the pieces live in it.
  std::size_t HeldBytes() const { return heldBytes_; }
  std::size_t LivePieces() const { return livePieces_; }

  static constexpr std::size_t kPage = std::size_t{1} << 16;

 private:
  static constexpr std::size_t kPageHeader = 16;
  static constexpr std::size_t kRegionPages = 32;
  static constexpr std::size_t kSmallClasses = 64;            // 8-byte steps up to 512 bytes
  static constexpr std::size_t kClasses = kSmallClasses + 5;  // then powers of two to 16 KiB
  static constexpr std::uint16_t kLarge = 0xffff;             // a piece with pages of its own

  struct Page {
    std::uint16_t cls;
    std::uint16_t reserved;
    std::uint32_t live;
    std::uint32_t index;  // in pages_
    std::uint32_t count;  // pages in the mapping: 1, or more for a large piece
  };
  static_assert(sizeof(Page) <= kPageHeader);

  static std::size_t ClassOf(std::size_t size) {
    if (size <= 512) return size == 0 ? 0 : (size - 1) / 8;
    std::size_t c = kSmallClasses;
    for (std::size_t cap = 1024; cap < size; cap <<= 1) ++c;
    return c;
  }
  static std::size_t ClassSize(std::size_t c) {
    return c < kSmallClasses ? (c + 1) * 8 : std::size_t{1024} << (c - kSmallClasses);
  }
  static Page* PageOf(void* piece) {
    auto at = reinterpret_cast<std::uintptr_t>(piece) & ~(std::uintptr_t{kPage} - 1);
    return reinterpret_cast<Page*>(at);
  }

  void* Take(std::size_t size);
  void Give(void* piece);
  char* NewPages(std::size_t count);
  void DropPage(Page* page);

  std::vector<char*> pages_;   // null once gone
  char* regionTop_ = nullptr;  // pages mapped but not yet handed to a class
  char* regionEnd_ = nullptr;
  char* top_[kClasses] = {};  // where each class carves next, in its current page
  char* end_[kClasses] = {};
  void* free_[kClasses] = {};
  bool parsing_ = true;
  std::size_t heldBytes_ = 0;
  std::size_t livePieces_ = 0;
};

}  // namespace platform::mshtml
