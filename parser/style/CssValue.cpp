#include "parser/style/CssValue.h"

#include <cstdint>
#include <string_view>

#include "parser/style/WideText.h"

using nbparser::View;

namespace {

WORD Low16(std::int64_t v) {
  return static_cast<WORD>(static_cast<std::uint64_t>(v) & 0xFFFF);
}

WORD KeywordSize(std::u16string_view text) {
  struct Keyword {
    std::u16string_view name;
    WORD size;
  };
  static constexpr Keyword kKeywords[] = {
      {u"xx-small", 60}, {u"x-small", 75},  {u"small", 90},     {u"medium", 100},
      {u"large", 110},   {u"x-large", 125}, {u"xx-large", 140},
  };
  for (const Keyword& k : kKeywords) {
    if (text == k.name) return k.size;
  }
  return 100;
}

// A bare HTML font size (1 to 7) as its keyword.
std::u16string_view HtmlSizeKeyword(int size) {
  switch (size) {
    case 1:
      return u"xx-small";
    case 2:
      return u"x-small";
    case 3:
      return u"small";
    case 5:
      return u"large";
    case 6:
      return u"x-large";
    case 7:
      return u"xx-large";
    default:
      return u"medium";
  }
}

}  // namespace

WORD ParseLength(const WCHAR* text_in, WORD base) {
  std::u16string_view text = View(text_in);
  if (text.size() < 2) return KeywordSize(HtmlSizeKeyword(nbparser::WideToInt(text)));

  if (text[0] == u'+' || text[0] == u'-') {
    std::int64_t step = 10 * static_cast<std::int64_t>(nbparser::WideToInt(text.substr(1)));
    std::int64_t sum = text[0] == u'+' ? base + step : base - step;
    // A step below nothing is no size (it wrapped to some 65,000 before).
    if (sum < 0) return KeywordSize(u"medium");
    WORD r = Low16(sum);
    if (r != 0) return r;
    return KeywordSize(text);
  }

  // One keyword step up or down from the enclosing size, as the document model reckons it
  // (the old code gave 100 for both, so "smaller" text inside small text grew).
  if (text == u"larger") return nbparser::DoubleToWord(base * 1.2);
  if (text == u"smaller") return nbparser::DoubleToWord(base / 1.2);

  double t = 10 * nbparser::WideToDouble(text);
  if (t == 0) return KeywordSize(text);
  std::u16string_view tail = text.substr(text.size() - 2);
  auto has = [tail](std::u16string_view unit) { return tail.find(unit) != tail.npos; };
  double r;
  if (has(u"%")) {
    r = base * t * 0.001;
  } else if (has(u"px")) {
    r = t * 96 * 0.00625;
  } else if (has(u"ex")) {
    r = base * t * 0.05;
  } else if (has(u"em")) {
    r = base * t * 0.1;
  } else if (has(u"pt")) {
    r = t * 0.75;
  } else if (has(u"cm")) {
    r = t * 72 * 0.39370078740157477;
  } else if (has(u"in")) {
    r = t * 72;
  } else if (has(u"mm")) {
    r = t * 72 * 0.03937007874015748;
  } else if (has(u"pc")) {
    r = t * 12;
  } else {
    return 100;
  }
  return nbparser::DoubleToWord(r);
}

WORD ParseMargin(const WCHAR* text_in, WORD percentFactor) {
  std::u16string_view text = View(text_in);
  if (text.size() < 2) return 0;
  std::int64_t n = nbparser::WideToInt(text);
  // A negative margin draws blocks together on a screen; the book has no such move, and the
  // value wrapped to some 65,000 units of space.
  if (n < 0) return 0;
  if (text.back() == u'%') n *= percentFactor;
  return Low16(n);
}

WORD ParseFontWeight(const WCHAR* text_in) {
  struct Weight {
    std::u16string_view name;
    WORD weight;
  };
  static constexpr Weight kWeights[] = {
      {u"bold", 500}, {u"bolder", 800}, {u"lighter", 200}, {u"normal", 0}, {u"100", 100},
      {u"200", 200},  {u"300", 300},    {u"400", 0},       {u"500", 500},  {u"600", 600},
      {u"700", 700},  {u"800", 800},    {u"900", 900},
  };
  std::u16string_view text = View(text_in);
  for (const Weight& w : kWeights) {
    if (text == w.name) return w.weight;
  }
  return 0;
}
