// The parser's memory: pieces survive what the parser frees around them, a page leaves once its
// last piece is released, and a whole parse given back piece by piece leaves nothing held.
#include "platform/mshtml/parser_arena.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <cstring>
#include <string>
#include <vector>

using platform::mshtml::ParserArena;

namespace {

TEST(ParserArenaTest, PiecesKeepTheirBytesAndAlignmentAcrossSizes) {
  ParserArena arena;
  const std::size_t sizes[] = {0, 1, 7, 8, 9, 120, 128, 129, 512, 513, 4096, 16384, 16385, 300000};
  std::vector<std::pair<char*, std::size_t>> pieces;
  for (int round = 0; round < 3; ++round) {
    for (std::size_t size : sizes) {
      auto* p = static_cast<char*>(ParserArena::Allocate(&arena, size));
      ASSERT_NE(p, nullptr) << size;
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u) << size;
      std::memset(p, static_cast<int>(pieces.size() & 0xff), size);
      pieces.emplace_back(p, size);
    }
  }
  // Freeing every other piece and allocating again must not hand out a live piece.
  for (std::size_t i = 0; i < pieces.size(); i += 2) ParserArena::Free(&arena, pieces[i].first);
  for (std::size_t size : sizes) {
    auto* p = static_cast<char*>(ParserArena::Allocate(&arena, size));
    std::memset(p, 0xee, size);
  }
  for (std::size_t i = 1; i < pieces.size(); i += 2) {
    auto [p, size] = pieces[i];
    for (std::size_t k = 0; k < size; ++k)
      ASSERT_EQ(static_cast<unsigned char>(p[k]), i & 0xff) << "piece " << i << " byte " << k;
  }
}

TEST(ParserArenaTest, PagesLeaveWhenTheirLastPieceIsReleased) {
  struct Case {
    const char* name;
    std::size_t size;
    int count;
  };
  const Case cases[] = {
      {"small pieces over many pages", 48, 5000},
      {"node-sized pieces", 128, 3000},
      {"large pieces with pages of their own", 70000, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ParserArena arena;
    std::vector<void*> pieces;
    for (int i = 0; i < c.count; ++i) pieces.push_back(ParserArena::Allocate(&arena, c.size));
    arena.EndParse();
    std::size_t full = arena.HeldBytes();
    ASSERT_GT(full, 0u);
    EXPECT_EQ(arena.LivePieces(), static_cast<std::size_t>(c.count));
    // Half released: what is held goes down, but not to nothing.
    for (int i = 0; i < c.count / 2; ++i) arena.Release(pieces[static_cast<std::size_t>(i)]);
    EXPECT_LT(arena.HeldBytes(), full);
    EXPECT_GT(arena.HeldBytes(), 0u);
    arena.Release(nullptr);
    for (int i = c.count / 2; i < c.count; ++i) arena.Release(pieces[static_cast<std::size_t>(i)]);
    EXPECT_EQ(arena.HeldBytes(), 0u);
    EXPECT_EQ(arena.LivePieces(), 0u);
  }
}

TEST(ParserArenaTest, PagesOfFreedPiecesLeaveAtTheEndOfTheParse) {
  ParserArena arena;
  std::vector<void*> temporaries;
  for (int i = 0; i < 4000; ++i) temporaries.push_back(ParserArena::Allocate(&arena, 200));
  void* kept = ParserArena::Allocate(&arena, 16);
  for (void* p : temporaries) ParserArena::Free(&arena, p);
  arena.EndParse();
  EXPECT_EQ(arena.LivePieces(), 1u);
  EXPECT_EQ(arena.HeldBytes(), ParserArena::kPage);
  arena.Release(kept);
  EXPECT_EQ(arena.HeldBytes(), 0u);
}

// A real parse given back the way the document model reads it: every piece the parser's own
// clean-up would free is released once, and then the arena holds only the document node.
void ReleaseTree(ParserArena& arena, GumboNode* node) {
  switch (node->type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
      GumboElement& e = node->v.element;
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        auto* a = static_cast<GumboAttribute*>(e.attributes.data[i]);
        arena.Release(const_cast<char*>(a->name));
        arena.Release(const_cast<char*>(a->value));
        arena.Release(a);
      }
      arena.Release(e.attributes.data);
      for (unsigned i = 0; i < e.children.length; ++i)
        ReleaseTree(arena, static_cast<GumboNode*>(e.children.data[i]));
      arena.Release(e.children.data);
      break;
    }
    default:
      arena.Release(const_cast<char*>(node->v.text.text));
      break;
  }
  arena.Release(node);
}

TEST(ParserArenaTest, AWholeParseReleasedLeavesOnlyTheDocument) {
  std::string html = "<!doctype html><title>t</title><table><tr><td>a<b>b<i>c</b>d</i>";
  for (int i = 0; i < 3000; ++i)
    html += "<p class=c" + std::to_string(i) + " id=x>text <a href=#" + std::to_string(i) +
            ">link</a><svg viewBox='0 0 1 1'><path d=M0/></svg><template><i>t</i></template>";
  ParserArena arena;
  GumboOptions options = arena.Options();
  GumboOutput* out = gumbo_parse_with_options(&options, html.data(), html.size());
  ASSERT_NE(out, nullptr);
  arena.EndParse();
  std::size_t full = arena.HeldBytes();
  ReleaseTree(arena, out->root);
  EXPECT_LT(arena.HeldBytes(), full / 20);
  // The output, the document node, its doctype strings and its list of children.
  EXPECT_LE(arena.LivePieces(), 10u);
}

}  // namespace
