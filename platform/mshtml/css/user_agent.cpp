#include "platform/mshtml/css/user_agent.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace platform::mshtml::css {

namespace {

// HTML's usual rendering defaults, for the properties the model reports.
constexpr std::string_view kUserAgentCss = R"css(
html, address, blockquote, body, center, dd, details, dialog, dir, div, dl, dt, fieldset,
figcaption, figure, footer, form, frameset, frame, h1, h2, h3, h4, h5, h6, header, hgroup, hr,
legend, listing, main, menu, nav, ol, p, plaintext, pre, search, section, summary, ul, xmp,
article, aside, optgroup, noframes { display: block }
head, script, style, title, meta, link, base, basefont, template, area, datalist, noembed,
param, rp, [hidden], input[type=hidden i] { display: none }
li { display: list-item }
table { display: table }
caption { display: table-caption; text-align: center }
colgroup { display: table-column-group }
col { display: table-column }
thead { display: table-header-group }
tbody { display: table-row-group }
tfoot { display: table-footer-group }
tr { display: table-row }
td, th { display: table-cell }
th { font-weight: bold; text-align: center }
input, select, textarea, button { display: inline-block }
ruby { display: ruby }
rt { display: ruby-text }
body { margin: 8px }
p, dl, multicol { margin-top: 1em; margin-bottom: 1em }
blockquote, figure, listing, plaintext, pre, xmp { margin-top: 1em; margin-bottom: 1em }
ul, ol, dir, menu { margin-top: 1em; margin-bottom: 1em }
ul ul, ul ol, ol ul, ol ol, ul dir, ul menu, ol dir, ol menu, dir ul, menu ul, dir ol, menu ol,
dir dir, menu menu { margin-top: 0; margin-bottom: 0 }
li ul, li ol, li dir, li menu { margin-top: 0; margin-bottom: 0 }
h1 { font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em; font-weight: bold }
h2 { font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em; font-weight: bold }
h3 { font-size: 1.17em; margin-top: 1em; margin-bottom: 1em; font-weight: bold }
h4 { font-size: 1em; margin-top: 1.33em; margin-bottom: 1.33em; font-weight: bold }
h5 { font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em; font-weight: bold }
h6 { font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em; font-weight: bold }
hr { border-style: inset; margin-top: 0.5em; margin-bottom: 0.5em }
b, strong { font-weight: bold }
small, sub, sup { font-size: smaller }
big { font-size: larger }
pre, listing, xmp, plaintext, textarea { white-space: pre }
nobr { white-space: nowrap }
center { text-align: center }
:link { color: #0000ee }
mark { background-color: yellow; color: black }
fieldset { border-style: groove }
table, td, th { border-style: none }
)css";

bool IsOneOf(std::string_view v, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), v) != list.end();
}

std::string Trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return std::string(s);
}

void Hint(std::vector<Declaration>& out, Property p, std::string value) {
  Declaration d;
  d.id = ToPropId(p);
  d.value = std::move(value);
  out.push_back(std::move(d));
}

// <font size>: kept as written when it is an HTML size ("3", "+1", "-2"), absolute sizes
// clamped to 1..7, as the style readers expect a bare HTML size.
std::optional<std::string> FontSizeHint(std::string_view raw) {
  std::string v = Trim(raw);
  if (v.empty()) return std::nullopt;
  std::size_t i = 0;
  bool relative = v[0] == '+' || v[0] == '-';
  if (relative) i = 1;
  std::size_t digits = i;
  while (digits < v.size() && v[digits] >= '0' && v[digits] <= '9') ++digits;
  if (digits == i) return std::nullopt;
  std::string number = v.substr(i, std::min<std::size_t>(digits - i, 3));
  int n = std::stoi(number);
  if (relative) return std::string(1, v[0]) + std::to_string(std::min(n, 7));
  return std::to_string(std::clamp(n, 1, 7));
}

}  // namespace

const std::shared_ptr<const ParsedStyleSheet>& UserAgentSheet() {
  static const std::shared_ptr<const ParsedStyleSheet> sheet =
      std::make_shared<const ParsedStyleSheet>(kUserAgentCss);
  return sheet;
}

// Kept beside the function that reads them: a model shares styles between elements that
// differ only in attributes nothing reads.
namespace {
constexpr std::string_view kHintValueAttributes[] = {"align", "bgcolor", "text",    "color", "size",
                                                     "link",  "nowrap",  "noshade", "border"};
constexpr std::string_view kHintPresenceAttributes[] = {"href"};
}  // namespace

std::span<const std::string_view> HintValueAttributes() {
  return kHintValueAttributes;
}
std::span<const std::string_view> HintPresenceAttributes() {
  return kHintPresenceAttributes;
}

void AddPresentationalHints(const ElementView& e, std::vector<Declaration>& out) {
  std::string_view tag = e.LocalName();
  if (const std::string* align = e.Attribute("align")) {
    if (IsOneOf(tag, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "caption", "td", "th", "tr",
                      "thead", "tbody", "tfoot", "col", "colgroup", "legend"})) {
      std::string v = Lower(Trim(*align));
      if (v == "middle" || v == "center" || v == "absmiddle") v = "center";
      if (IsOneOf(v, {"left", "right", "center", "justify"})) Hint(out, Property::TextAlign, v);
    }
  }
  if (const std::string* bg = e.Attribute("bgcolor")) {
    if (IsOneOf(tag, {"body", "table", "tr", "td", "th", "thead", "tbody", "tfoot", "marquee"})) {
      if (auto c = ParseLegacyColor(*bg)) Hint(out, Property::BackgroundColor, *c);
    }
  }
  if (tag == "body") {
    if (const std::string* text = e.Attribute("text")) {
      if (auto c = ParseLegacyColor(*text)) Hint(out, Property::Color, *c);
    }
  } else if (tag == "font") {
    if (const std::string* color = e.Attribute("color")) {
      if (auto c = ParseLegacyColor(*color)) Hint(out, Property::Color, *c);
    }
    if (const std::string* size = e.Attribute("size")) {
      if (auto s = FontSizeHint(*size)) Hint(out, Property::FontSize, *s);
    }
  } else if ((tag == "a" || tag == "area") && e.Attribute("href")) {
    // <body link> colours the links below it; only so far up, as a link is rarely deep.
    int steps = 0;
    for (const ElementView* p = e.Parent(); p && steps < 1024; p = p->Parent(), ++steps) {
      if (p->LocalName() != "body") continue;
      if (const std::string* link = p->Attribute("link")) {
        if (auto c = ParseLegacyColor(*link)) Hint(out, Property::Color, *c);
      }
      break;
    }
  } else if (tag == "td" || tag == "th") {
    if (e.Attribute("nowrap")) Hint(out, Property::WhiteSpace, "nowrap");
  } else if (tag == "hr") {
    if (e.Attribute("noshade")) Hint(out, Property::BorderStyle, "solid");
  } else if (tag == "table") {
    if (const std::string* border = e.Attribute("border")) {
      std::string v = Trim(*border);
      if (v.empty() || (v[0] >= '1' && v[0] <= '9')) Hint(out, Property::BorderStyle, "outset");
    }
  }
}

}  // namespace platform::mshtml::css
