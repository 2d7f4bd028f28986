// Text runs next to elements, and the one text block that is open at a time.
#include <string_view>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/engine/LinkAnchor.h"
#include "parser/style/CssValue.h"

// In place, because the walk gathers its runs onto the pending text, and a copy of each would
// cost an allocation a run.
void NormalizeTail(std::u16string& s, std::size_t from) {
  std::size_t l0 = s.size() - from;
  while (s.size() > from && s.back() == u' ') s.pop_back();
  while (s.size() > from && s.back() == u'\t') s.pop_back();
  std::size_t l1 = s.size() - from;
  if (l1 > 0 && l1 < l0) {
    s.push_back(u' ');
    ++l1;
  }
  std::size_t i = from;
  while (i < s.size() && s[i] == u' ') ++i;
  while (i < s.size() && s[i] == u'\t') ++i;
  s.erase(from, i - from);
  std::size_t l2 = s.size() - from;
  if (l2 > 0 && l2 < l1) s.insert(s.begin() + static_cast<std::ptrdiff_t>(from), u' ');
  for (std::size_t k = from; k < s.size(); ++k) {
    if (s[k] == 0x00A0) s[k] = u' ';
  }
}

// A run keeps one blank on each side where it had white space; a run of nothing but blanks and
// tabs adds nothing; no-break spaces become blanks after the trimming.
std::u16string NormalizeRun(std::u16string run) {
  NormalizeTail(run, 0);
  return run;
}

namespace {

// The place as a BSTR: the walk asks two places of every element, so the common ones are made
// once and kept for the life of the process.
BSTR PlaceOf(AdjacentPlace where, BStr& other) {
  static const BSTR kBeforeBegin = SysAllocString(u"beforeBegin");
  static const BSTR kBeforeEnd = SysAllocString(u"beforeEnd");
  switch (where) {
    case AdjacentPlace::kBeforeBegin:
      if (kBeforeBegin) return kBeforeBegin;
      other = BStr(u"beforeBegin");
      break;
    case AdjacentPlace::kBeforeEnd:
      if (kBeforeEnd) return kBeforeEnd;
      other = BStr(u"beforeEnd");
      break;
    case AdjacentPlace::kAfterBegin:
      other = BStr(u"afterBegin");
      break;
    case AdjacentPlace::kAfterEnd:
      other = BStr(u"afterEnd");
      break;
  }
  return other.Get();
}

}  // namespace

void CHtmlPageConverter::CollectAdjacentText(IElementViews* views, IHTMLElement2* element,
                                             AdjacentPlace where, bool preserve) {
  std::u16string_view run;
  BStr text;
  const char16_t* lent = nullptr;
  UINT length = 0;
  if (views && SUCCEEDED(views->LendAdjacentText(where, &lent, &length))) {
    run = std::u16string_view(lent, length);
  } else {
    if (!element) return;
    BStr other;
    element->getAdjacentText(PlaceOf(where, other), &text);
    run = std::u16string_view(text.Get(), text.Length());
  }
  if (run.empty()) return;
  const std::size_t from = m_strPendingText.size();
  m_strPendingText.append(run);
  if (preserve) {
    // Every blank and tab kept: blanks travel as no-break spaces, which are never trimmed.
    for (std::size_t i = from; i < m_strPendingText.size(); ++i) {
      char16_t& c = m_strPendingText[i];
      if (c == u' ') c = 0x00A0;
      if (c == u'\r') c = u'\n';
    }
    return;
  }
  // A run of blanks only is the space between two pieces of text (the old code dropped it, so
  // "<code>a</code> <code>b</code>" read "ab"); where it stands at the start or end of a block
  // or line, AppendText leaves it out. Only such a run normalizes to nothing.
  NormalizeTail(m_strPendingText, from);
  if (m_strPendingText.size() == from) m_strPendingText.push_back(u' ');
}

void CHtmlPageConverter::FlushPendingText() {
  if (m_strPendingText.empty() || !m_pTextObject) return;
  // Cleared after rather than swapped out, so that its storage serves the next text.
  AppendText(m_strPendingText);
  m_strPendingText.clear();
}

void CHtmlPageConverter::AppendText(const std::u16string& text) {
  if (!m_pTextObject) return;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(u'\n', start);
    std::u16string_view line(text.data() + start,
                             (end == std::u16string::npos ? text.size() : end) - start);
    std::size_t first = line.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
      if (!line.empty() && !m_bAtLineStart) m_bBlankOwed = true;
    } else {
      if (first > 0 && !m_bAtLineStart) m_bBlankOwed = true;
      std::size_t last = line.find_last_not_of(u' ');
      std::u16string& piece = m_strPiece;
      piece.clear();
      if (m_bBlankOwed || !m_strItemMarker.empty()) {
        piece = m_strItemMarker;
        m_strItemMarker.clear();
        if (m_bBlankOwed || !piece.empty()) piece.push_back(u' ');
      }
      piece.append(line.substr(first, last - first + 1));
      for (char16_t& c : piece) {
        if (c == 0x00A0) c = u' ';
      }
      m_pTextObject->AddText(piece);
      m_bAtLineStart = false;
      m_bBlankOwed = last + 1 < line.size();
    }
    if (end == std::u16string::npos) break;
    AddLineBreak();
    start = end + 1;
  }
}

void CHtmlPageConverter::AddLineBreak() {
  if (!m_pTextObject) return;
  m_pTextObject->AddCommand(0xF5D2, nullptr, 0);
  m_bBlankOwed = false;
  m_bAtLineStart = true;
}

void CHtmlPageConverter::EndTableRowLine() {
  if (!m_pTextObject) return;
  m_pTextObject->Write();
  // The blank after a row's last cell belongs to no line: the next row starts a line of its own.
  m_bBlankOwed = false;
  m_bAtLineStart = true;
}

void CHtmlPageConverter::PayOwedBlank() {
  if (!m_pTextObject) return;
  if (!m_strItemMarker.empty()) {
    m_pTextObject->AddText(m_strItemMarker + u" ");
    m_strItemMarker.clear();
    m_bBlankOwed = false;
    m_bAtLineStart = false;
  }
  if (m_bBlankOwed) {
    m_pTextObject->AddText(u" ");
    m_bBlankOwed = false;
  }
}

int CHtmlPageConverter::OpenTextBlock(IHTMLCurrentStyle* style, bool withMargin) {
  return OpenTextBlock(CElementStyle(style), withMargin);
}

int CHtmlPageConverter::OpenTextBlock(const CElementStyle& style, bool withMargin) {
  if (!m_pPage) return -3;
  if (m_pTextObject) return 0;
  if (style && withMargin) {
    if (StyleValue top = style.Get(StyleProp::kMarginTop); top.kind == StyleValue::kText) {
      WORD margin = ParseMargin(top.text, 800);
      if (margin != 0) m_pPage->SetLocation(0, margin);
    }
  }
  CNBKTextBlock* block = m_pPage->CreateTextBlock(0, 0);
  if (!block) return 0;
  block->SetStyle(83, 100);
  m_pTextBlock = block->GetBlockObject();
  m_pTextObject = block->GetTextObject();
  m_bBlankOwed = false;
  m_bAtLineStart = true;
  if (!m_pTextObject) {
    m_pTextBlock = nullptr;
    return 0;
  }
  if (style) {
    m_styleReader.ApplyTopStyle(m_pTextObject);
  } else {
    m_styleReader.ApplyEnclosingStyle(m_pTextObject);
  }
  return 0;
}

int CHtmlPageConverter::CloseTextBlock() {
  if (!m_pTextObject) return 0;
  m_pTextObject->Write();
  if (m_pTextObject->GetStreamSize() != 0) {
    PlaceBlock(m_pTextBlock);
    CTextStyle* top = m_styleReader.GetTopStyle();
    if (top && top->m_nMarginBottom != 0) m_pPage->SetLocation(0, top->m_nMarginBottom);
  }
  m_pTextObject = nullptr;
  m_pTextBlock = nullptr;
  m_bBlankOwed = false;
  m_bAtLineStart = true;
  return 0;
}

void CHtmlPageConverter::PlaceLooseText(const CElementStyle& ownStyle) {
  if (m_strPendingText.empty()) return;
  if (m_strPendingText.find_first_not_of(u' ') == std::u16string::npos) {
    m_strPendingText.clear();
    return;
  }
  // Without the top margin: the element's first block had it.
  if (!m_pTextObject) OpenTextBlock(ownStyle, false);
  FlushPendingText();
  CloseTextBlock();
}

void CHtmlPageConverter::PlaceBlock(CNBKBlockObject* block) {
  if (!block || !m_pPage) return;
  m_pPage->AddBlock(block);
  m_pLastBlock = block;
  for (CLinkAnchor* anchor : m_pendingTargets) anchor->SetTargetBlock(m_pPage, block);
  m_pendingTargets.clear();
}
