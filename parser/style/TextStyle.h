// The text style of one open element, as read from its computed style.
#pragma once

#include <vector>

#include "parser/style/Color.h"
#include "platform/com/types.h"

// Attribute tags of the writer library's text attributes and commands.
constexpr WORD TAG_FONT_SIZE = 0xF511;
constexpr WORD TAG_FONT_WEIGHT = 0xF515;
constexpr WORD TAG_TEXT_COLOR = 0xF517;
constexpr WORD TAG_TEXT_BG_COLOR = 0xF518;
constexpr WORD TAG_LINE_HEIGHT = 0xF51B;
constexpr WORD TAG_BLOCK_BG_COLOR = 0xF534;
constexpr WORD TAG_ALIGN = 0xF53C;

// Alignment codes.
constexpr WORD ALIGN_LEFT = 1;
constexpr WORD ALIGN_CENTER = 4;
constexpr WORD ALIGN_RIGHT = 8;

// A short list of tags: an element changes at most the five attributes EmitStyleChanges sends,
// which fit without an allocation; more (were it called again for one element) go to the heap.
class CTagList {
 public:
  bool empty() const { return m_nCount == 0 && m_more.empty(); }
  void push_back(WORD tag) {
    if (m_more.empty() && m_nCount < kInline) {
      m_tags[m_nCount++] = tag;
    } else {
      m_more.push_back(tag);
    }
  }
  WORD back() const { return m_more.empty() ? m_tags[m_nCount - 1] : m_more.back(); }
  void pop_back() {
    if (m_more.empty()) {
      --m_nCount;
    } else {
      m_more.pop_back();
    }
  }

 private:
  static constexpr unsigned kInline = 8;
  WORD m_tags[kInline] = {};
  unsigned m_nCount = 0;
  std::vector<WORD> m_more;  // the tags after the first kInline, in order
};

class CTextStyle {
 public:
  CTextStyle() = default;
  virtual ~CTextStyle() = default;

  // Any code other than center and right is stored as left.
  void SetAlign(WORD align) {
    m_nAlign = (align == ALIGN_CENTER || align == ALIGN_RIGHT) ? align : ALIGN_LEFT;
  }

  DWORD m_crTextBack = kNoColor;
  WORD m_bTextBackSet = 0;
  WORD m_bBlockBackSet = 0;
  // Own background, or the enclosing element's when the own one is "transparent".
  DWORD m_crBlockBack = kNoColor;
  WORD m_nMarginBottom = 0;
  WORD m_nLineHeight = 0;
  DWORD m_crText = 0;
  // Tags EmitStyleChanges sent for this element, in the order sent.
  CTagList m_changedTags;
  WORD m_nAlign = ALIGN_LEFT;
  BOOL m_bBold = 0;
  WORD m_nFontSize = 0;
  // The element's white-space: text inside keeps every blank, tab and line break.
  bool m_bPreserveSpace = false;
};
