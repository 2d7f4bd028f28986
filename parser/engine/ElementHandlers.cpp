// What each element becomes: block elements open and close text blocks, inline elements flush
// the gathered text and switch text attributes, and a few tags send text commands, a rule, a
// link or an image.
#include <array>
#include <string_view>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/style/WideText.h"

namespace {

constexpr unsigned short CMD_LINE_BREAK = 0xF5D2;
constexpr unsigned short CMD_ITALIC_START = 0xF581;
constexpr unsigned short CMD_ITALIC_END = 0xF582;
constexpr unsigned short CMD_RUBY_START = 0xF5A9;
constexpr unsigned short CMD_RUBY_END = 0xF5AA;
constexpr unsigned short CMD_RUBY_BASE_START = 0xF5AB;
constexpr unsigned short CMD_RUBY_BASE_END = 0xF5AC;
constexpr unsigned short CMD_RUBY_TEXT_START = 0xF5AD;
constexpr unsigned short CMD_RUBY_TEXT_END = 0xF5AE;

constexpr std::array<std::u16string_view, 15> kBlockTags = {
    u"ADDRESS", u"BLOCKQUOTE", u"DIV", u"DL", u"H1",  u"H2",    u"H3", u"H4",
    u"H5",      u"H6",         u"OL",  u"P",  u"PRE", u"TABLE", u"UL"};

bool IsBlockTag(std::u16string_view tag) {
  for (std::u16string_view block : kBlockTags) {
    if (tag == block) return true;
  }
  return false;
}

ComPtr<IHTMLCurrentStyle> CurrentStyleOf(IDispatch* node, ComPtr<IHTMLElement2>* element2) {
  ComPtr<IHTMLCurrentStyle> style;
  if (FAILED(node->QueryInterface(IID_IHTMLElement2, element2->ReleaseAndGetVoidAddress())) ||
      !*element2) {
    return nullptr;
  }
  if (FAILED((*element2)->get_currentStyle(&style))) return nullptr;
  return style;
}

WORD RuleStyleCode(std::u16string_view border) {
  if (border == u"dotted") return 64;
  if (border == u"dashed") return 32;
  if (border == u"double") return 48;
  return 16;
}

}  // namespace

int CHtmlPageConverter::StartElement(IDispatch* node, IHTMLElement* element) {
  if (!element || !node) return -1;
  ComPtr<IHTMLElement2> element2;
  ComPtr<IHTMLCurrentStyle> style = CurrentStyleOf(node, std::addressof(element2));
  if (!style) return -1;

  m_styleReader.PushStyle(style.Get());
  if (!m_bOutputOn || m_bInExcept) return 2;

  BStr tagName;
  if (FAILED(element->get_tagName(&tagName)) || !tagName) return -3;
  std::u16string_view tag(tagName.Get(), tagName.Length());

  CollectAdjacentText(element2.Get(), u"beforeBegin");

  if (IsBlockTag(tag) || tag == u"HR") {
    if (tag == u"HR") AddHorizontalRule(node, style.Get());
    if (m_pTextObject) {
      FlushPendingText();
      CloseTextBlock();
    }
    OpenTextBlock(style.Get());
    return 0;
  }

  if (!m_strPendingText.empty()) {
    if (!m_pTextObject) OpenTextBlock(nullptr);
    FlushPendingText();
  }
  auto command = [this](unsigned short code) {
    if (m_pTextObject) m_pTextObject->AddCommand(code, nullptr, 0);
  };
  if (tag == u"A") {
    HandleAnchor(node);
    BeginInlineStyle(element);
  } else if (tag == u"BR") {
    command(CMD_LINE_BREAK);
  } else if (tag == u"I") {
    command(CMD_ITALIC_START);
    BeginInlineStyle(element);
  } else if (tag == u"IMG") {
    AddImage(node, element);
  } else if (tag == u"TR") {
    if (m_pTextObject) m_pTextObject->Write();
    BeginInlineStyle(element);
  } else if (tag == u"RUBY") {
    command(CMD_RUBY_START);
  } else if (tag == u"RB") {
    command(CMD_RUBY_BASE_START);
  } else if (tag == u"RT") {
    command(CMD_RUBY_TEXT_START);
  } else if (tag == u"RP") {
    // The parenthesis around a reading is dropped at its end.
  } else {
    BeginInlineStyle(element);
  }
  return 0;
}

int CHtmlPageConverter::EndElement(IDispatch* node, IHTMLElement* element) {
  if (!element || !node) return -1;
  if (!m_bOutputOn || m_bInExcept) {
    m_styleReader.PopStyle();
    return 2;
  }
  ComPtr<IHTMLElement2> element2;
  ComPtr<IHTMLCurrentStyle> style = CurrentStyleOf(node, std::addressof(element2));
  if (!style) return -1;
  BStr tagName;
  if (FAILED(element->get_tagName(&tagName)) || !tagName) {
    // The start pushed a style for this element; keep the stack in step with the nesting.
    m_styleReader.PopStyle();
    return -3;
  }
  std::u16string_view tag(tagName.Get(), tagName.Length());

  CollectAdjacentText(element2.Get(), u"beforeEnd");

  if (IsBlockTag(tag) || tag == u"HR") {
    if (tag == u"HR" && m_pTextObject) {
      // The block opened for the rule holds nothing worth a place on the page.
      m_pTextObject->Write();
      m_pTextObject = nullptr;
      m_pTextBlock = nullptr;
    }
    if (!m_strPendingText.empty() && m_pTextObject) {
      FlushPendingText();
      CloseTextBlock();
    }
    BStr pageBreak;
    style->get_pageBreakAfter(&pageBreak);
    std::u16string_view after(pageBreak.Get() ? pageBreak.Get() : u"");
    bool keepOpen = after == u"always" || after == u"right" || after == u"left";
    if (!keepOpen && m_pTextObject) CloseTextBlock();
    m_styleReader.PopStyle();
    return 0;
  }

  if (tag == u"RP") {
    m_strPendingText.clear();
  } else if ((tag == u"TH" || tag == u"TD") && m_pTextObject) {
    // Cells of a row are separated by one blank.
    m_strPendingText.resize(nbparser::TrimRight(m_strPendingText).size());
    m_strPendingText.push_back(u' ');
  }
  if (!m_strPendingText.empty()) {
    if (!m_pTextObject) OpenTextBlock(style.Get());
    FlushPendingText();
  }
  auto command = [this](unsigned short code) {
    if (m_pTextObject) m_pTextObject->AddCommand(code, nullptr, 0);
  };
  auto restore = [this] { m_styleReader.RestoreEnclosingStyle(m_pTextObject); };
  if (tag == u"A") {
    if (m_pTextObject) m_pTextObject->EndTextButton();
    restore();
  } else if (tag == u"BR" || tag == u"IMG") {
  } else if (tag == u"RB" || tag == u"/RB") {
    // Our document model keeps the base text inside RB, so its end is the end of the base.
    command(CMD_RUBY_BASE_END);
  } else if (tag == u"I") {
    command(CMD_ITALIC_END);
    restore();
  } else if (tag == u"LI") {
    if (m_pTextObject) m_pTextObject->Write();
    restore();
  } else if (tag == u"TR") {
    restore();
    if (m_pTextObject) m_pTextObject->Write();
  } else if (tag == u"RUBY") {
    command(CMD_RUBY_END);
  } else if (tag == u"RT") {
    command(CMD_RUBY_TEXT_END);
  } else {
    restore();
  }
  m_styleReader.PopStyle();
  return 0;
}

int CHtmlPageConverter::BeginInlineStyle(IHTMLElement* element) {
  // Reading the inner text costs the size of the element's subtree; when nothing differs from
  // the enclosing style, or nothing could take the commands, there is nothing to decide.
  if (!m_pTextObject || !m_styleReader.HasStyleChanges()) return 0;
  BStr inner;
  if (FAILED(element->get_innerText(&inner)) || !inner) return 0;
  if (nbparser::TrimRight(std::u16string_view(inner.Get(), inner.Length())).empty()) return 0;
  m_styleReader.EmitStyleChanges(m_pTextObject);
  return 0;
}

int CHtmlPageConverter::AddHorizontalRule(IDispatch* node, IHTMLCurrentStyle* style) {
  WORD thickness = 2;
  WORD code = 16;
  ComPtr<IHTMLHRElement> rule;
  if (SUCCEEDED(node->QueryInterface(IID_IHTMLHRElement, rule.ReleaseAndGetVoidAddress())) &&
      rule) {
    ScopedVariant size;
    if (SUCCEEDED(rule->get_size(&size)) && size.vt == VT_BSTR) {
      thickness = static_cast<WORD>(nbparser::WideToInt(nbparser::View(size.bstrVal)) & 0xFFFF);
    }
  }
  if (m_pTextObject) {
    FlushPendingText();
    CloseTextBlock();
  }
  if (style) {
    BStr border;
    if (SUCCEEDED(style->get_borderStyle(&border)) && border) {
      code = RuleStyleCode(std::u16string_view(border.Get(), border.Length()));
    }
  }
  if (m_pPage) m_pPage->AddRuledLine(600, code, thickness, 0);
  return 0;
}
