// What each element becomes: block elements open and close text blocks, inline elements flush
// the gathered text and switch text attributes, and a few tags send text commands, a rule, a
// link or an image.
#include <array>
#include <string>
#include <string_view>

#include "parser/engine/HtmlPageConverter.h"
#include "parser/style/WideText.h"
#include "platform/mshtml/element_text.h"

namespace {

constexpr unsigned short CMD_ITALIC_START = 0xF581;
constexpr unsigned short CMD_ITALIC_END = 0xF582;
constexpr unsigned short CMD_RUBY_START = 0xF5A9;
constexpr unsigned short CMD_RUBY_END = 0xF5AA;
constexpr unsigned short CMD_RUBY_BASE_START = 0xF5AB;
constexpr unsigned short CMD_RUBY_BASE_END = 0xF5AC;
constexpr unsigned short CMD_RUBY_TEXT_START = 0xF5AD;
constexpr unsigned short CMD_RUBY_TEXT_END = 0xF5AE;

// The old block set, and the elements of later HTML (and the old CENTER) that a browser
// lays out as blocks too; the old code made them inline, so the entries of a table of contents made
// of a definition list ran together and list items ran into each other.
constexpr std::array<std::u16string_view, 32> kBlockTags = {
    u"ADDRESS", u"BLOCKQUOTE", u"DIV",  u"DL",      u"H1",      u"H2",         u"H3",
    u"H4",      u"H5",         u"H6",   u"OL",      u"P",       u"PRE",        u"TABLE",
    u"UL",      u"DT",         u"DD",   u"LI",      u"SECTION", u"ARTICLE",    u"FIGURE",
    u"HEADER",  u"FOOTER",     u"NAV",  u"MAIN",    u"ASIDE",   u"FIGCAPTION", u"CENTER",
    u"DETAILS", u"SUMMARY",    u"FORM", u"FIELDSET"};

bool IsBlockTag(std::u16string_view tag) {
  for (std::u16string_view block : kBlockTags) {
    if (tag == block) return true;
  }
  return false;
}

// Elements whose content is never shown.
bool IsHiddenTag(std::u16string_view tag) {
  return tag == u"NOSCRIPT" || tag == u"TEMPLATE";
}

std::u16string AttributeOf(IHTMLElement* element, const char16_t* name) {
  BStr attr(name);
  ScopedVariant value;
  if (FAILED(element->getAttribute(attr.Get(), 0, &value)) || value.vt != VT_BSTR ||
      !value.bstrVal) {
    return {};
  }
  return std::u16string(value.bstrVal, SysStringLen(value.bstrVal));
}

std::u16string DecimalText(long n) {
  std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// An attribute's integer ("3", " -2"), or fallback when there is none.
long IntAttribute(IHTMLElement* element, const char16_t* name, long fallback) {
  std::u16string text = AttributeOf(element, name);
  std::u16string_view trimmed = nbparser::Trim(text);
  if (trimmed.empty()) return fallback;
  std::size_t i = trimmed[0] == u'-' || trimmed[0] == u'+' ? 1 : 0;
  if (i >= trimmed.size() || trimmed[i] < u'0' || trimmed[i] > u'9') return fallback;
  return nbparser::WideToInt(trimmed);
}

CElementStyle StyleOf(IDispatch* node, ComPtr<IHTMLElement2>* element2) {
  if (FAILED(node->QueryInterface(IID_IHTMLElement2, element2->ReleaseAndGetVoidAddress())) ||
      !*element2) {
    return CElementStyle();
  }
  return CElementStyle::Of(element2->Get());
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
  CElementStyle style = StyleOf(node, std::addressof(element2));
  if (!style) return -1;

  m_styleReader.PushStyle(style);
  if (!m_bOutputOn || m_bInExcept || m_nHiddenDepth > 0) return 2;

  BStr tagName;
  if (FAILED(element->get_tagName(&tagName)) || !tagName) return -3;
  std::u16string_view tag(tagName.Get(), tagName.Length());

  // The text before the element belongs to the enclosing element, with its white-space.
  const CTextStyle* enclosing = m_styleReader.GetEnclosingStyle();
  CollectAdjacentText(element2.Get(), u"beforeBegin", enclosing && enclosing->m_bPreserveSpace);

  // Content that is not shown is not converted (the old code converted display:none, the hidden
  // attribute and NOSCRIPT alike). The walker still goes through it for marker comments.
  if (IsHiddenTag(tag) || style.Text(StyleProp::kDisplay) == u"none") {
    return 3;
  }

  BStr id;
  element->get_id(&id);

  if (IsBlockTag(tag) || tag == u"HR") {
    if (m_pTextObject) {
      FlushPendingText();
      CloseTextBlock();
    } else {
      // Loose text before a block is a block of its own, in its place (the old code merged it
      // into the block, or put it past the rule).
      PlaceLooseText(CElementStyle());
    }
    if (id.Length() > 0) MarkTarget(id.Str());
    if (tag == u"HR") AddHorizontalRule(node, style);
    if (tag == u"OL" || tag == u"UL") {
      ListLevel level;
      level.ordered = tag == u"OL";
      level.next = level.ordered ? IntAttribute(element, u"start", 1) : 1;
      m_lists.push_back(level);
    }
    OpenTextBlock(style);
    if (tag == u"LI") {
      // The marker stands before the item's first text, in whichever block that goes.
      if (!m_lists.empty() && m_lists.back().ordered) {
        ListLevel& list = m_lists.back();
        long number = IntAttribute(element, u"value", list.next);
        list.next = number + 1;
        m_strItemMarker = DecimalText(number);
        m_strItemMarker.push_back(u'.');
      } else {
        m_strItemMarker.assign(1, u'\u2022');
      }
    }
    return 0;
  }

  if (!m_strPendingText.empty()) {
    if (!m_pTextObject) OpenTextBlock(nullptr);
    FlushPendingText();
  }
  if (id.Length() > 0) MarkTarget(id.Str());
  auto command = [this](unsigned short code) {
    if (m_pTextObject) m_pTextObject->AddCommand(code, nullptr, 0);
  };
  if (tag == u"A") {
    HandleAnchor(node);
    BeginInlineStyle(element);
  } else if (tag == u"BR") {
    AddLineBreak();
  } else if (tag == u"I") {
    command(CMD_ITALIC_START);
    BeginInlineStyle(element);
  } else if (tag == u"IMG") {
    int placed = m_nImagesPlaced;
    AddImage(node, element);
    if (m_nImagesPlaced == placed) AddAltText(element);
  } else if (tag == u"TR") {
    EndTableRowLine();
    BeginInlineStyle(element);
  } else if (tag == u"RUBY") {
    // The blank before a ruby stays out of its base text.
    PayOwedBlank();
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

void CHtmlPageConverter::AddAltText(IHTMLElement* element) {
  std::u16string alt = AttributeOf(element, u"alt");
  std::u16string_view text = nbparser::Trim(alt);
  if (text.empty()) return;
  if (!m_pTextObject) OpenTextBlock(nullptr);
  AppendText(std::u16string(text));
}

int CHtmlPageConverter::EndElement(IDispatch* node, IHTMLElement* element) {
  if (!element || !node) return -1;
  if (!m_bOutputOn || m_bInExcept || m_nHiddenDepth > 0) {
    m_styleReader.PopStyle();
    return 2;
  }
  ComPtr<IHTMLElement2> element2;
  CElementStyle style = StyleOf(node, std::addressof(element2));
  if (!style) return -1;
  BStr tagName;
  if (FAILED(element->get_tagName(&tagName)) || !tagName) {
    // The start pushed a style for this element; keep the stack in step with the nesting.
    m_styleReader.PopStyle();
    return -3;
  }
  std::u16string_view tag(tagName.Get(), tagName.Length());

  const CTextStyle* own = m_styleReader.GetTopStyle();
  CollectAdjacentText(element2.Get(), u"beforeEnd", own && own->m_bPreserveSpace);

  if (IsBlockTag(tag) || tag == u"HR") {
    if (tag == u"HR" && m_pTextObject) {
      // The block opened for the rule holds nothing worth a place on the page.
      m_pTextObject->Write();
      m_pTextObject = nullptr;
      m_pTextBlock = nullptr;
    }
    if (!m_strPendingText.empty()) {
      if (m_pTextObject) {
        FlushPendingText();
        CloseTextBlock();
      } else {
        // Text after a nested block: a block of the element's own (the old code left it pending,
        // and it ran into the next block).
        PlaceLooseText(style);
      }
    }
    std::u16string_view after = style.Text(StyleProp::kPageBreakAfter);
    bool keepOpen = after == u"always" || after == u"right" || after == u"left";
    if (!keepOpen && m_pTextObject) CloseTextBlock();
    // An item that met no text leaves no marker behind for the text after it.
    if (tag == u"LI") m_strItemMarker.clear();
    if ((tag == u"OL" || tag == u"UL") && !m_lists.empty()) m_lists.pop_back();
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
    if (!m_pTextObject) OpenTextBlock(style);
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
  } else if (tag == u"TR") {
    restore();
    EndTableRowLine();
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
  if (!HasShownText(element)) return 0;
  m_styleReader.EmitStyleChanges(m_pTextObject);
  return 0;
}

bool CHtmlPageConverter::HasShownText(IHTMLElement* element) {
  if (!element) return false;
  // Our own document model answers without building the text: nested inline elements would
  // otherwise build their shared text once per level.
  ComPtr<IElementText> text;
  BOOL shown = FALSE;
  if (SUCCEEDED(element->QueryInterface(IID_IElementText, text.ReleaseAndGetVoidAddress())) &&
      text && SUCCEEDED(text->HasShownText(&shown))) {
    return shown != FALSE;
  }
  BStr inner;
  if (FAILED(element->get_innerText(&inner)) || !inner) return false;
  return !nbparser::TrimRight(std::u16string_view(inner.Get(), inner.Length())).empty();
}

int CHtmlPageConverter::AddHorizontalRule(IDispatch* node, const CElementStyle& style) {
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
  if (StyleValue border = style.Get(StyleProp::kBorderStyle); border.kind == StyleValue::kText) {
    code = RuleStyleCode(border.text);
  }
  if (m_pPage) m_pPage->AddRuledLine(600, code, thickness, 0);
  return 0;
}
