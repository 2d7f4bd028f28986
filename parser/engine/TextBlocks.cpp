// Text runs next to elements, and the one text block that is open at a time.
#include <string_view>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/style/CssValue.h"

namespace {

void TrimTrailing(std::u16string& s, char16_t c) {
  while (!s.empty() && s.back() == c) s.pop_back();
}

std::size_t CountLeading(const std::u16string& s, std::size_t from, char16_t c) {
  std::size_t i = from;
  while (i < s.size() && s[i] == c) ++i;
  return i - from;
}

}  // namespace

// A run keeps one blank on each side where it had white space; a run of nothing but blanks and
// tabs adds nothing; no-break spaces become blanks after the trimming.
std::u16string NormalizeRun(std::u16string run) {
  std::size_t l0 = run.size();
  TrimTrailing(run, u' ');
  TrimTrailing(run, u'\t');
  std::size_t l1 = run.size();
  if (l1 > 0 && l1 < l0) {
    run.push_back(u' ');
    ++l1;
  }
  std::size_t blanks = CountLeading(run, 0, u' ');
  std::size_t tabs = CountLeading(run, blanks, u'\t');
  run.erase(0, blanks + tabs);
  std::size_t l2 = run.size();
  if (l2 > 0 && l2 < l1) run.insert(run.begin(), u' ');
  for (char16_t& c : run) {
    if (c == 0x00A0) c = u' ';
  }
  return run;
}

void CHtmlPageConverter::CollectAdjacentText(IHTMLElement2* element, const char16_t* where) {
  if (!element) return;
  BStr place(where);
  BStr text;
  element->getAdjacentText(place.Get(), &text);
  if (text.Length() == 0) return;
  m_strPendingText += NormalizeRun(text.Str());
}

void CHtmlPageConverter::FlushPendingText() {
  if (m_strPendingText.empty() || !m_pTextObject) return;
  m_pTextObject->AddText(m_strPendingText);
  m_strPendingText.clear();
}

int CHtmlPageConverter::OpenTextBlock(IHTMLCurrentStyle* style) {
  if (!m_pPage) return -3;
  if (m_pTextObject) return 0;
  if (style) {
    ScopedVariant top;
    if (SUCCEEDED(style->get_marginTop(&top)) && top.vt == VT_BSTR && top.bstrVal) {
      WORD margin = ParseMargin(top.bstrVal, 800);
      if (margin != 0) m_pPage->SetLocation(0, margin);
    }
  }
  CNBKTextBlock* block = m_pPage->CreateTextBlock(0, 0);
  if (!block) return 0;
  block->SetStyle(83, 100);
  m_pTextBlock = block->GetBlockObject();
  m_pTextObject = block->GetTextObject();
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
    m_pPage->AddBlock(m_pTextBlock);
    CTextStyle* top = m_styleReader.GetTopStyle();
    if (top && top->m_nMarginBottom != 0) m_pPage->SetLocation(0, top->m_nMarginBottom);
  }
  m_pTextObject = nullptr;
  m_pTextBlock = nullptr;
  return 0;
}
