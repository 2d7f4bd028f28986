// The cascade on a documentation-sized sheet: parsing it, and computing every element of a
// large, deep tree against it.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "tests/platform_css/fake_tree.h"

namespace {

using css_test::FakeElement;
using platform::mshtml::css::Cascade;
using platform::mshtml::css::ComputedStyle;
using platform::mshtml::css::StyleSheet;

const char* const kTags[] = {"div", "p",       "span", "a",    "ul", "li", "table",
                             "tr",  "td",      "pre",  "code", "h2", "h3", "em",
                             "b",   "section", "dl",   "dt",   "dd"};

// Rules of the kinds documentation sheets hold: classes, ids, descendant and child chains,
// attribute tests, pseudo-classes, media blocks and custom properties.
std::string LargeSheet(int rules) {
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::string css = ":root{--fg:#333;--gap:1em}\n";
  for (int i = 0; i < rules; ++i) {
    std::string sel;
    int parts = 1 + pick(4);
    for (int k = 0; k < parts; ++k) {
      if (k) sel += pick(3) == 0 ? " > " : " ";
      switch (pick(5)) {
        case 0:
          sel += kTags[pick(19)];
          break;
        case 1:
          sel += std::string(kTags[pick(19)]) + ".c" + std::to_string(pick(200));
          break;
        case 2:
          sel += ".c" + std::to_string(pick(200));
          break;
        case 3:
          sel += std::string(kTags[pick(19)]) + ":first-child";
          break;
        default:
          sel += "a[href^=\"http\"]";
          break;
      }
    }
    if (pick(10) == 0) sel += ":hover";
    std::string decls =
        "color:var(--fg); margin:0 0 var(--gap); font:bold 10pt/1.4 sans-serif;"
        "background:#f8f8f8 url(bg.png) no-repeat; border-top:1px solid #ccc";
    if (pick(8) == 0) {
      css += "@media screen and (max-width: 800px) { " + sel + " { " + decls + " } }\n";
    } else {
      css += sel + " { " + decls + " }\n";
    }
  }
  return css;
}

// About count elements, nested up to depth levels, with classes from the sheet's range.
std::unique_ptr<FakeElement> LargeTree(int count, int depth) {
  std::mt19937 rng(11);
  auto root = std::make_unique<FakeElement>();
  root->tag = "html";
  FakeElement* body = root->Append("body");
  std::vector<FakeElement*> open{body};
  for (int i = 0; i < count; ++i) {
    FakeElement* parent = open.back();
    FakeElement* e = parent->Append(kTags[rng() % 19]);
    if (rng() % 2) e->attributes["class"] = "c" + std::to_string(rng() % 200) + " x";
    if (rng() % 20 == 0) e->attributes["href"] = "http://example.org/";
    if (static_cast<int>(open.size()) < depth && rng() % 3 != 0) {
      open.push_back(e);
    } else if (open.size() > 1 && rng() % 3 == 0) {
      open.pop_back();
    }
  }
  return root;
}

std::size_t ComputeAll(const Cascade& cascade, const FakeElement& root) {
  std::vector<std::pair<const FakeElement*, std::size_t>> stack{{&root, SIZE_MAX}};
  std::vector<ComputedStyle> styles;
  styles.reserve(1 << 17);
  std::size_t n = 0;
  while (!stack.empty()) {
    auto [e, parent] = stack.back();
    stack.pop_back();
    styles.push_back(cascade.Compute(*e, parent == SIZE_MAX ? nullptr : &styles[parent], ""));
    std::size_t self = styles.size() - 1;
    ++n;
    for (auto it = e->children.rbegin(); it != e->children.rend(); ++it) {
      stack.emplace_back(it->get(), self);
    }
  }
  benchmark::DoNotOptimize(styles.data());
  return n;
}

void BM_ParseSheet(benchmark::State& state) {
  std::string css = LargeSheet(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto sheet = StyleSheet::Parse(css);
    benchmark::DoNotOptimize(sheet->RuleCount());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * css.size()));
  state.counters["sheet_kb"] = static_cast<double>(css.size()) / 1024;
}
BENCHMARK(BM_ParseSheet)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ComputeTree(benchmark::State& state) {
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse(LargeSheet(static_cast<int>(state.range(0)))));
  auto root = LargeTree(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  std::size_t elements = 0;
  for (auto _ : state) elements = ComputeAll(cascade, *root);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * elements));
}
BENCHMARK(BM_ComputeTree)
    ->Args({2000, 50000, 30})
    ->Args({2000, 50000, 500})
    ->Args({300, 100000, 20})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
