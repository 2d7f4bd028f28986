// What each element becomes: block elements open and close text blocks, inline elements flush
// the gathered text and switch text attributes, and a few tags send text commands, a rule, a
// link or an image.
#include <string>
#include <string_view>
#include <type_traits>

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

using Tag = ElementTag;

// The old block set, and the elements of later HTML (and the old CENTER) that a browser
// lays out as blocks too; the old code made them inline, so the entries of a table of contents made
// of a definition list ran together and list items ran into each other. NOSCRIPT and TEMPLATE
// are never shown.
struct TagName {
  std::string_view name;
  Tag tag;
};
// By length, so that a name is compared with the entries of its own length only.
constexpr TagName kTags[] = {{"P", Tag::kBlock},
                             {"A", Tag::kA},
                             {"I", Tag::kI},
                             {"DL", Tag::kBlock},
                             {"H1", Tag::kBlock},
                             {"H2", Tag::kBlock},
                             {"H3", Tag::kBlock},
                             {"H4", Tag::kBlock},
                             {"H5", Tag::kBlock},
                             {"H6", Tag::kBlock},
                             {"OL", Tag::kOl},
                             {"UL", Tag::kUl},
                             {"DT", Tag::kBlock},
                             {"DD", Tag::kBlock},
                             {"LI", Tag::kLi},
                             {"HR", Tag::kHr},
                             {"BR", Tag::kBr},
                             {"TR", Tag::kTr},
                             {"TH", Tag::kTh},
                             {"TD", Tag::kTd},
                             {"RB", Tag::kRb},
                             {"RT", Tag::kRt},
                             {"RP", Tag::kRp},
                             {"DIV", Tag::kBlock},
                             {"PRE", Tag::kBlock},
                             {"NAV", Tag::kBlock},
                             {"IMG", Tag::kImg},
                             {"/RB", Tag::kEndRb},
                             {"MAIN", Tag::kBlock},
                             {"FORM", Tag::kBlock},
                             {"RUBY", Tag::kRuby},
                             {"TABLE", Tag::kBlock},
                             {"ASIDE", Tag::kBlock},
                             {"FIGURE", Tag::kBlock},
                             {"HEADER", Tag::kBlock},
                             {"FOOTER", Tag::kBlock},
                             {"CENTER", Tag::kBlock},
                             {"ADDRESS", Tag::kBlock},
                             {"SECTION", Tag::kBlock},
                             {"ARTICLE", Tag::kBlock},
                             {"DETAILS", Tag::kBlock},
                             {"SUMMARY", Tag::kBlock},
                             {"FIELDSET", Tag::kBlock},
                             {"NOSCRIPT", Tag::kNoscript},
                             {"TEMPLATE", Tag::kTemplate},
                             {"BLOCKQUOTE", Tag::kBlock},
                             {"FIGCAPTION", Tag::kBlock}};
constexpr std::size_t kLongestTag = 10;
constexpr std::size_t kTagCount = sizeof kTags / sizeof kTags[0];

// Where the entries of each length begin; kTagCount past the last.
struct TagIndex {
  std::size_t first[kLongestTag + 2] = {};
  constexpr TagIndex() {
    std::size_t at = 0;
    for (std::size_t length = 0; length <= kLongestTag + 1; ++length) {
      while (at < kTagCount && kTags[at].name.size() < length) ++at;
      first[length] = at;
    }
  }
};
constexpr TagIndex kTagIndex;
constexpr bool SortedByLength() {
  for (std::size_t i = 1; i < kTagCount; ++i)
    if (kTags[i].name.size() < kTags[i - 1].name.size()) return false;
  return kTags[kTagCount - 1].name.size() <= kLongestTag;
}
static_assert(SortedByLength(), "kTags must be ordered by length, none past kLongestTag");

// The tag of a name as get_tagName gives it (upper case); upper: ASCII letters of name are
// taken in upper case first, as get_tagName makes them from the model's own names. Any other
// character matches no entry.
template <typename Ch>
Tag ClassifyTag(std::basic_string_view<Ch> name, bool upper) {
  if (name.empty() || name.size() > kLongestTag) return Tag::kOther;
  char folded[kLongestTag];
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<std::make_unsigned_t<Ch>>(name[i]);
    if (c >= 0x80 || c == 0) return Tag::kOther;
    if (upper && c >= 'a' && c <= 'z') c = static_cast<decltype(c)>(c - 32);
    folded[i] = static_cast<char>(c);
  }
  std::string_view key(folded, name.size());
  for (std::size_t i = kTagIndex.first[key.size()]; i < kTagIndex.first[key.size() + 1]; ++i) {
    if (kTags[i].name[0] == key[0] && kTags[i].name == key) return kTags[i].tag;
  }
  return Tag::kOther;
}

bool IsBlock(Tag tag) {
  return tag == Tag::kBlock || tag == Tag::kOl || tag == Tag::kUl || tag == Tag::kLi;
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

WORD RuleStyleCode(std::u16string_view border) {
  if (border == u"dotted") return 64;
  if (border == u"dashed") return 32;
  if (border == u"double") return 48;
  return 16;
}

}  // namespace

bool CHtmlPageConverter::ElementFacts::ReadTag(IHTMLElement* element) {
  if (tagRead) return !tagFailed;
  tagRead = true;
  const char* name = nullptr;
  UINT length = 0;
  if (views && SUCCEEDED(views->GetLocalName(&name, &length)) && name) {
    tag = ClassifyTag(std::string_view(name, length), true);
    return true;
  }
  BStr tagName;
  if (!element || FAILED(element->get_tagName(&tagName)) || !tagName) {
    tagFailed = true;
    return false;
  }
  tag = ClassifyTag(std::u16string_view(tagName.Get(), tagName.Length()), false);
  return true;
}

int CHtmlPageConverter::StartElement(IDispatch* node, IHTMLElement* element, ElementFacts& facts) {
  if (!element || !node) return -1;
  if (FAILED(node->QueryInterface(IID_IHTMLElement2, facts.element2.ReleaseAndGetVoidAddress())) ||
      !facts.element2) {
    facts.element2 = nullptr;
    return -1;
  }
  facts.style = CElementStyle::Of(facts.element2.Get());
  const CElementStyle& style = facts.style;
  if (!style) return -1;
  if (FAILED(facts.element2->QueryInterface(IID_IElementViews,
                                            facts.views.ReleaseAndGetVoidAddress()))) {
    facts.views = nullptr;
  }

  m_styleReader.PushStyle(style);
  if (!m_bOutputOn || m_bInExcept || m_nHiddenDepth > 0) return 2;

  if (!facts.ReadTag(element)) return -3;
  const Tag tag = facts.tag;

  // The text before the element belongs to the enclosing element, with its white-space.
  const CTextStyle* enclosing = m_styleReader.GetEnclosingStyle();
  CollectAdjacentText(facts.views.Get(), facts.element2.Get(), AdjacentPlace::kBeforeBegin,
                      enclosing && enclosing->m_bPreserveSpace);

  // Content that is not shown is not converted (the old code converted display:none, the hidden
  // attribute and NOSCRIPT alike). The walker still goes through it for marker comments.
  if (tag == Tag::kNoscript || tag == Tag::kTemplate ||
      style.TextIs(StyleProp::kDisplay, u"none")) {
    return 3;
  }

  BStr id;
  element->get_id(&id);

  if (IsBlock(tag) || tag == Tag::kHr) {
    if (m_pTextObject) {
      FlushPendingText();
      CloseTextBlock();
    } else {
      // Loose text before a block is a block of its own, in its place (the old code merged it
      // into the block, or put it past the rule).
      PlaceLooseText(CElementStyle());
    }
    if (id.Length() > 0) MarkTarget(id.Str());
    if (tag == Tag::kHr) AddHorizontalRule(node, style);
    if (tag == Tag::kOl || tag == Tag::kUl) {
      ListLevel level;
      level.ordered = tag == Tag::kOl;
      level.next = level.ordered ? IntAttribute(element, u"start", 1) : 1;
      m_lists.push_back(level);
    }
    OpenTextBlock(style);
    if (tag == Tag::kLi) {
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
  if (tag == Tag::kA) {
    HandleAnchor(node);
    BeginInlineStyle(element);
  } else if (tag == Tag::kBr) {
    AddLineBreak();
  } else if (tag == Tag::kI) {
    command(CMD_ITALIC_START);
    BeginInlineStyle(element);
  } else if (tag == Tag::kImg) {
    int placed = m_nImagesPlaced;
    AddImage(node, element);
    if (m_nImagesPlaced == placed) AddAltText(element);
  } else if (tag == Tag::kTr) {
    EndTableRowLine();
    BeginInlineStyle(element);
  } else if (tag == Tag::kRuby) {
    // The blank before a ruby stays out of its base text.
    PayOwedBlank();
    command(CMD_RUBY_START);
  } else if (tag == Tag::kRb) {
    command(CMD_RUBY_BASE_START);
  } else if (tag == Tag::kRt) {
    command(CMD_RUBY_TEXT_START);
  } else if (tag == Tag::kRp) {
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

int CHtmlPageConverter::EndElement(IDispatch* node, IHTMLElement* element, ElementFacts& facts) {
  if (!element || !node) return -1;
  if (!m_bOutputOn || m_bInExcept || m_nHiddenDepth > 0) {
    m_styleReader.PopStyle();
    return 2;
  }
  const CElementStyle& style = facts.style;
  if (!style) return -1;
  if (!facts.ReadTag(element)) {
    // The start pushed a style for this element; keep the stack in step with the nesting.
    m_styleReader.PopStyle();
    return -3;
  }
  const Tag tag = facts.tag;

  const CTextStyle* own = m_styleReader.GetTopStyle();
  CollectAdjacentText(facts.views.Get(), facts.element2.Get(), AdjacentPlace::kBeforeEnd,
                      own && own->m_bPreserveSpace);

  if (IsBlock(tag) || tag == Tag::kHr) {
    if (tag == Tag::kHr && m_pTextObject) {
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
    if (tag == Tag::kLi) m_strItemMarker.clear();
    if ((tag == Tag::kOl || tag == Tag::kUl) && !m_lists.empty()) m_lists.pop_back();
    m_styleReader.PopStyle();
    return 0;
  }

  if (tag == Tag::kRp) {
    m_strPendingText.clear();
  } else if ((tag == Tag::kTh || tag == Tag::kTd) && m_pTextObject) {
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
  if (tag == Tag::kA) {
    if (m_pTextObject) m_pTextObject->EndTextButton();
    restore();
  } else if (tag == Tag::kBr || tag == Tag::kImg) {
  } else if (tag == Tag::kRb || tag == Tag::kEndRb) {
    // Our document model keeps the base text inside RB, so its end is the end of the base.
    command(CMD_RUBY_BASE_END);
  } else if (tag == Tag::kI) {
    command(CMD_ITALIC_END);
    restore();
  } else if (tag == Tag::kTr) {
    restore();
    EndTableRowLine();
  } else if (tag == Tag::kRuby) {
    command(CMD_RUBY_END);
  } else if (tag == Tag::kRt) {
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
