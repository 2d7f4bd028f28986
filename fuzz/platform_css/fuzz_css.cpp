// Style sheets and element trees through the cascade. Input: CSS, optionally a NUL byte and a
// tree as tag soup ("<div class=a><p style='color:red'>"); every element's style is computed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "tests/platform_css/fake_tree.h"

using platform::mshtml::css::Cascade;
using platform::mshtml::css::ComputedStyle;
using platform::mshtml::css::StyleSheet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::size_t split = in.find('\0');
  std::string_view css = in.substr(0, split);
  std::string_view markup =
      "<html lang=en><body><div id=a class='x y'><p id=t class=x>"
      "<span></span><a href=u></a></p><p></p></div>";
  if (split != std::string_view::npos) markup = in.substr(split + 1, 4096);

  auto sheet = StyleSheet::Parse(css);
  std::size_t sink = sheet->RuleCount();
  for (const std::string& url : sheet->Imports()) sink += url.size();

  Cascade cascade;
  cascade.AddSheet(sheet);
  cascade.AddSheet(StyleSheet::Parse("p{color:red} .x{margin:1px}"), 0);
  auto root = css_test::ParseTree(markup);
  if (!root) return 0;

  // Document order, each element with its parent's style; the CSS also serves as the style
  // attribute of the first element.
  std::vector<std::pair<const css_test::FakeElement*, const ComputedStyle*>> stack{
      {root.get(), nullptr}};
  std::vector<std::unique_ptr<ComputedStyle>> styles;
  bool first = true;
  while (!stack.empty()) {
    auto [e, parent] = stack.back();
    stack.pop_back();
    const std::string* attr = e->Attribute("style");
    std::string_view inlineStyle = first  ? css
                                   : attr ? std::string_view(*attr)
                                          : std::string_view();
    first = false;
    styles.push_back(std::make_unique<ComputedStyle>(cascade.Compute(*e, parent, inlineStyle)));
    for (const std::string& v : styles.back()->values) sink += v.size();
    for (auto it = e->children.rbegin(); it != e->children.rend(); ++it) {
      stack.emplace_back(it->get(), styles.back().get());
    }
  }
  return sink == 0xFFFFFFFF;
}
