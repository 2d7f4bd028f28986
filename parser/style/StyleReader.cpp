#include "parser/style/StyleReader.h"

#include <cstring>
#include <string_view>

#include "contracts/NBKCreator.h"
#include "parser/style/CssValue.h"
#include "parser/style/WideText.h"

namespace {

void ColorBytesAsWords(DWORD colour, unsigned short words[2]) {
  BYTE bytes[4];
  ColorToBytes(colour, bytes);
  std::memcpy(words, bytes, sizeof bytes);
}

}  // namespace

std::uint32_t PackColor(DWORD colour) {
  BYTE bytes[4];
  ColorToBytes(colour, bytes);
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::unique_ptr<CTextStyle> CStyleReader::ReadStyle(const CElementStyle& style) {
  return std::make_unique<CTextStyle>(Read(style));
}

CTextStyle CStyleReader::Read(const CElementStyle& style) {
  const platform::mshtml::css::ComputedStyle* computed = style ? style.Record() : nullptr;
  if (!computed || computed->serial == 0) return ReadStyleAgainst(style, GetTopStyle());
  // What a record gives depends on it and on the enclosing record's size and block background
  // only; pages hold a few hundred records against thousands of elements.
  const CTextStyle* enclosing = GetTopStyle();
  StyleKey key{computed->serial,
               enclosing && enclosing->m_nFontSize != 0 ? enclosing->m_nFontSize : m_nBaseFontSize,
               enclosing && enclosing->m_bBlockBackSet,
               enclosing && enclosing->m_bBlockBackSet ? enclosing->m_crBlockBack : 0};
  if (auto it = m_read.find(key); it != m_read.end()) return it->second;
  CTextStyle record = ReadStyleAgainst(style, enclosing);
  constexpr std::size_t kMaxRead = 1 << 14;
  if (m_read.size() >= kMaxRead) m_read.clear();
  m_read.emplace(key, record);
  return record;
}

CTextStyle CStyleReader::ReadStyleAgainst(const CElementStyle& style, const CTextStyle* enclosing) {
  CTextStyle value;
  CTextStyle* record = &value;
  if (!style) return value;

  // Relative sizes ("2em", "90%") are taken against the enclosing element's size, which comes
  // back with the enclosing record when an element ends; an element that only inherits its
  // size is given an absolute one by the document model. The new record is not pushed yet,
  // so the top is the enclosing element's. (the old code kept one base that any size beginning
  // with a number replaced for good, so sizes compounded from element to element.)
  const WORD base =
      enclosing && enclosing->m_nFontSize != 0 ? enclosing->m_nFontSize : m_nBaseFontSize;
  if (StyleValue v = style.Get(StyleProp::kFontSize); v.kind == StyleValue::kText) {
    record->m_nFontSize = ParseLength(v.text, base);
  }
  if (StyleValue v = style.Get(StyleProp::kLineHeight); v.kind == StyleValue::kText) {
    if (std::u16string_view(v.text) == u"normal") {
      record->m_nLineHeight = static_cast<WORD>((3 * record->m_nFontSize) / 2 + 5);
    } else {
      // A relative line height is the element's own size times it, as in CSS.
      WORD own = record->m_nFontSize != 0 ? record->m_nFontSize : base;
      record->m_nLineHeight = ParseLength(v.text, own);
    }
  }
  if (StyleValue v = style.Get(StyleProp::kColor); v.kind != StyleValue::kUnset) {
    if (v.kind == StyleValue::kNumber) {
      record->m_crText = static_cast<DWORD>(v.number);
    } else if (v.kind == StyleValue::kText) {
      record->m_crText = ParseColor(v.text);
    } else {
      record->m_crText = 0;
    }
  }
  if (StyleValue v = style.Get(StyleProp::kBackgroundColor); v.kind != StyleValue::kUnset) {
    if (v.kind == StyleValue::kNumber) {
      record->m_crTextBack = record->m_crBlockBack = static_cast<DWORD>(v.number);
      record->m_bTextBackSet = record->m_bBlockBackSet = 1;
    } else if (v.kind == StyleValue::kText && std::u16string_view(v.text) == u"transparent") {
      if (enclosing && enclosing->m_bBlockBackSet) {
        record->m_crBlockBack = enclosing->m_crBlockBack;
        record->m_bBlockBackSet = 1;
      } else {
        record->m_crTextBack = record->m_crBlockBack = kNoColor;
        record->m_bTextBackSet = record->m_bBlockBackSet = 1;
      }
    } else if (v.kind == StyleValue::kText) {
      record->m_crTextBack = record->m_crBlockBack = ParseColor(v.text);
      record->m_bTextBackSet = record->m_bBlockBackSet = 1;
    }
  }
  if (StyleValue v = style.Get(StyleProp::kFontWeight); v.kind != StyleValue::kUnset) {
    int weight = 400;
    if (v.kind == StyleValue::kNumber) {
      weight = v.number;
    } else if (v.kind == StyleValue::kText) {
      weight = ParseFontWeight(v.text);
    }
    record->m_bBold = static_cast<WORD>(weight) >= 500 ? 1 : 0;
  }
  if (StyleValue v = style.Get(StyleProp::kMarginBottom); v.kind == StyleValue::kText) {
    record->m_nMarginBottom = ParseMargin(v.text, 800);
  }
  if (StyleValue v = style.Get(StyleProp::kWhiteSpace); v.kind == StyleValue::kText) {
    std::u16string_view text(v.text);
    record->m_bPreserveSpace = text == u"pre" || text == u"pre-wrap" || text == u"break-spaces";
  }
  if (StyleValue v = style.Get(StyleProp::kTextAlign); v.kind == StyleValue::kText) {
    std::u16string_view text(v.text);
    record->SetAlign(text == u"right"    ? ALIGN_RIGHT
                     : text == u"center" ? ALIGN_CENTER
                                         : ALIGN_LEFT);
  }
  return value;
}

void CStyleReader::PushStyle(const CElementStyle& style) {
  m_styles.push_back(Read(style));
  m_stack.push_back(&m_styles.back());
}

void CStyleReader::PopStyle() {
  if (m_styles.empty()) return;
  m_stack.pop_back();
  m_styles.pop_back();
}

CTextStyle* CStyleReader::GetTopStyle() const {
  return m_stack.empty() ? nullptr : m_stack.back();
}

CTextStyle* CStyleReader::GetEnclosingStyle() const {
  return m_stack.size() < 2 ? nullptr : m_stack[m_stack.size() - 2];
}

void CStyleReader::ApplyWholeStyle(const CTextStyle& style, CNBKTextObject* text,
                                   bool withBlockBack) {
  text->ChangeAtr(TAG_FONT_SIZE, style.m_nFontSize);
  text->ChangeAtr(TAG_LINE_HEIGHT, style.m_nLineHeight);
  text->ChangeAtr(TAG_ALIGN, style.m_nAlign);
  text->ChangeAtr(TAG_TEXT_COLOR, PackColor(style.m_crText));
  // The weight of a block element (a heading) reaches its text like its size and colour.
  text->ChangeAtr(TAG_FONT_WEIGHT, style.m_bBold ? 700u : 400u);
  if (withBlockBack && style.m_bBlockBackSet) {
    if (CNBKBlockObject* block = text->GetBlock()) {
      block->ChangeAtr(TAG_BLOCK_BG_COLOR, PackColor(style.m_crBlockBack));
    }
  }
}

int CStyleReader::ApplyTopStyle(CNBKTextObject* text) {
  CTextStyle* top = GetTopStyle();
  if (!text || !top) return -1;
  ApplyWholeStyle(*top, text, true);
  return 0;
}

int CStyleReader::ApplyEnclosingStyle(CNBKTextObject* text) {
  CTextStyle* enclosing = GetEnclosingStyle();
  if (!text || !enclosing) return -1;
  ApplyWholeStyle(*enclosing, text, false);
  return 0;
}

bool CStyleReader::HasStyleChanges() const {
  const CTextStyle* c = GetTopStyle();
  const CTextStyle* e = GetEnclosingStyle();
  if (!c || !e) return false;
  return c->m_nFontSize != e->m_nFontSize || c->m_nLineHeight != e->m_nLineHeight ||
         c->m_bBold != e->m_bBold || c->m_crText != e->m_crText ||
         (c->m_bTextBackSet && c->m_crTextBack != e->m_crTextBack);
}

int CStyleReader::EmitStyleChanges(CNBKTextObject* text) {
  CTextStyle* c = GetTopStyle();
  CTextStyle* e = GetEnclosingStyle();
  if (!e) return -1;
  if (!text) return -2;
  auto send = [&](WORD tag, const unsigned short* data, int words) {
    c->m_changedTags.push_back(tag);
    text->AddCommand(tag, data, words);
  };
  if (c->m_nFontSize != e->m_nFontSize) {
    unsigned short size = c->m_nFontSize;
    send(TAG_FONT_SIZE, &size, 1);
  }
  if (c->m_nLineHeight != e->m_nLineHeight) {
    unsigned short height = c->m_nLineHeight;
    send(TAG_LINE_HEIGHT, &height, 1);
  }
  if (c->m_bBold != e->m_bBold) {
    unsigned short weight = c->m_bBold ? 700 : 400;
    send(TAG_FONT_WEIGHT, &weight, 1);
  }
  if (c->m_crText != e->m_crText) {
    unsigned short words[2];
    ColorBytesAsWords(c->m_crText, words);
    send(TAG_TEXT_COLOR, words, 2);
  }
  if (c->m_bTextBackSet && c->m_crTextBack != e->m_crTextBack) {
    unsigned short words[2];
    ColorBytesAsWords(c->m_crTextBack, words);
    send(TAG_TEXT_BG_COLOR, words, 2);
  }
  return 0;
}

int CStyleReader::RestoreEnclosingStyle(CNBKTextObject* text) {
  CTextStyle* c = GetTopStyle();
  CTextStyle* e = GetEnclosingStyle();
  if (!e) return -1;
  if (!text) return -2;
  while (!c->m_changedTags.empty()) {
    WORD tag = c->m_changedTags.back();
    c->m_changedTags.pop_back();
    unsigned short words[2];
    switch (tag) {
      case TAG_FONT_SIZE:
        words[0] = e->m_nFontSize;
        text->AddCommand(tag, words, 1);
        break;
      case TAG_FONT_WEIGHT:
        words[0] = e->m_bBold ? 700 : 400;
        text->AddCommand(tag, words, 1);
        break;
      case TAG_TEXT_COLOR:
        ColorBytesAsWords(e->m_crText, words);
        text->AddCommand(tag, words, 2);
        break;
      case TAG_TEXT_BG_COLOR:
        ColorBytesAsWords(e->m_crTextBack, words);
        text->AddCommand(tag, words, 2);
        break;
      case TAG_LINE_HEIGHT:
        words[0] = e->m_nLineHeight;
        text->AddCommand(tag, words, 1);
        break;
      default:
        break;
    }
  }
  return 0;
}
