#include "platform/mshtml/bounds.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/text/text.h"

namespace platform::mshtml {
namespace {

using text::AsciiLower;
bool IsSpace(char c) {
  return text::IsAsciiSpace(static_cast<unsigned char>(c));
}
bool IsAlpha(char c) {
  return text::IsAsciiAlpha(static_cast<unsigned char>(c));
}

// Asked of every tag: the length and first letter turn nearly every entry away before a
// compare is called.
bool OneOf(std::string_view name, std::initializer_list<std::string_view> set) {
  for (std::string_view s : set) {
    if (s.size() == name.size() && (s.empty() || s[0] == name[0]) && s == name) return true;
  }
  return false;
}

// What the model needs to know of a tag name, looked up once per tag.
enum TagClass : std::uint8_t {
  kVoid = 1,
  kClosesParagraph = 2,
  kScopeBoundary = 4,
  kRawText = 8,
};

std::uint8_t ClassOf(std::string_view n) {
  static const std::unordered_map<std::string_view, std::uint8_t> table = [] {
    std::unordered_map<std::string_view, std::uint8_t> t;
    auto add = [&t](std::initializer_list<std::string_view> names, std::uint8_t c) {
      for (std::string_view name : names) t[name] |= c;
    };
    add({"area",   "base",  "basefont", "bgsound", "br",     "col",  "embed", "frame",
         "hr",     "image", "img",      "input",   "keygen", "link", "meta",  "param",
         "source", "track", "wbr",      "html",    "head",   "body"},
        kVoid);
    add({"address", "article", "aside",   "blockquote", "center",     "details", "dialog",
         "dir",     "div",     "dl",      "fieldset",   "figcaption", "figure",  "footer",
         "form",    "h1",      "h2",      "h3",         "h4",         "h5",      "h6",
         "header",  "hgroup",  "hr",      "main",       "menu",       "nav",     "ol",
         "p",       "pre",     "section", "summary",    "table",      "ul",      "li",
         "dd",      "dt",      "listing", "xmp",        "plaintext"},
        kClosesParagraph);
    add({"table", "td", "th", "caption", "button", "object", "marquee", "applet", "template", "svg",
         "math"},
        kScopeBoundary);
    add({"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"}, kRawText);
    return t;
  }();
  auto it = table.find(n);
  return it == table.end() ? 0 : it->second;
}

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

class Bounder {
 public:
  explicit Bounder(std::string_view in) : in_(in) {}

  // False when the markup needs no change (nearly every page); out_ is then left empty.
  bool Run(std::string& out) {
    while (i_ < in_.size()) {
      std::size_t lt = in_.find('<', i_);
      if (lt == std::string_view::npos) break;
      i_ = lt;
      Markup();
    }
    if (!changed_) return false;
    out_.append(in_.substr(copied_));
    out = std::move(out_);
    return true;
  }

 private:
  // The output is the input with a few pieces replaced, written out only once one is.
  void Replace(std::size_t from, std::size_t to, std::string_view with) {
    if (!changed_) {
      out_.reserve(in_.size() + 64);
      changed_ = true;
    }
    out_.append(in_.substr(copied_, from - copied_));
    out_.append(with);
    copied_ = to;
  }

  void CopyThrough(std::string_view end) {
    std::size_t e = in_.find(end, i_);
    i_ = e == std::string_view::npos ? in_.size() : e + end.size();
  }

  void Markup() {
    std::string_view rest = in_.substr(i_);
    if (rest.substr(0, 4) == "<!--") {
      i_ += 4;
      CopyThrough("-->");
      return;
    }
    if (rest.size() >= 2 && (rest[1] == '!' || rest[1] == '?')) {
      CopyThrough(">");
      return;
    }
    bool end = rest.size() >= 2 && rest[1] == '/';
    std::size_t nameStart = end ? 2 : 1;
    if (rest.size() <= nameStart || !IsAlpha(rest[nameStart])) {
      ++i_;
      return;
    }
    std::size_t tagStart = i_;
    i_ += nameStart;
    std::string name;
    while (i_ < in_.size() && !IsSpace(in_[i_]) && in_[i_] != '/' && in_[i_] != '>') {
      name.push_back(AsciiLower(in_[i_]));
      ++i_;
    }
    // Attributes, as the tokenizer splits them.
    std::size_t kept = 0;
    bool selfClosing = false;
    std::size_t dropFrom = 0, dropTo = 0;  // the attributes past the cap
    while (i_ < in_.size() && in_[i_] != '>') {
      std::size_t attrStart = i_;
      while (i_ < in_.size() && (IsSpace(in_[i_]) || in_[i_] == '/')) {
        selfClosing = in_[i_] == '/';
        ++i_;
      }
      if (i_ >= in_.size() || in_[i_] == '>') break;
      selfClosing = false;
      // A name runs to white space, '/', '>' or '=' (a leading '=' belongs to the name).
      ++i_;
      while (i_ < in_.size() && !IsSpace(in_[i_]) && in_[i_] != '/' && in_[i_] != '>' &&
             in_[i_] != '=')
        ++i_;
      std::size_t j = i_;
      while (j < in_.size() && IsSpace(in_[j])) ++j;
      if (j < in_.size() && in_[j] == '=') {
        i_ = j + 1;
        while (i_ < in_.size() && IsSpace(in_[i_])) ++i_;
        if (i_ < in_.size() && (in_[i_] == '"' || in_[i_] == '\'')) {
          char q = in_[i_++];
          std::size_t close = in_.find(q, i_);
          i_ = close == std::string_view::npos ? in_.size() : close + 1;
        } else {
          while (i_ < in_.size() && !IsSpace(in_[i_]) && in_[i_] != '>') ++i_;
        }
      }
      if (!end && ++kept > kMaxAttributesPerTag) {
        if (dropTo == 0) dropFrom = attrStart;
        dropTo = i_;
      }
    }
    if (i_ < in_.size()) ++i_;
    if (end) {
      EndTag(name);
      return;
    }
    const std::uint8_t tagClass = ClassOf(name);
    StartTag(name, tagClass, selfClosing, tagStart);
    if (dropTo > dropFrom) Replace(dropFrom, dropTo, {});
    if (name == "plaintext") {
      i_ = in_.size();
    } else if (tagClass & kRawText) {
      SkipRawText(name);
    }
  }

  void SkipRawText(const std::string& name) {
    // Up to "</name" in any letter case; the end tag itself is handled as markup.
    while (i_ < in_.size()) {
      std::size_t lt = in_.find("</", i_);
      if (lt == std::string_view::npos) {
        i_ = in_.size();
        return;
      }
      bool match = lt + 2 + name.size() <= in_.size();
      for (std::size_t k = 0; match && k < name.size(); ++k)
        match = AsciiLower(in_[lt + 2 + k]) == name[k];
      i_ = lt;
      if (match) return;
      i_ += 2;
    }
  }

  // Pops to the nearest open element named one of `names`, looking no further than a scope
  // boundary (or `stopAt`).
  void CloseNearest(std::initializer_list<std::string_view> names,
                    std::initializer_list<std::string_view> stopAt = {}) {
    // Most tags have none of these open: the counts spare the walk down the stack.
    bool any = false;
    for (auto n : names) any |= Count(n) > 0;
    if (!any) return;
    for (std::size_t k = open_.size(); k-- > 0;) {
      const std::string& n = open_[k].name;
      if (OneOf(n, names)) {
        PopTo(k);
        return;
      }
      if ((open_[k].tagClass & kScopeBoundary) || OneOf(n, stopAt)) return;
    }
  }

  int Count(std::string_view name) const {
    auto it = counts_.find(name);
    return it == counts_.end() ? 0 : it->second;
  }
  void Push(const std::string& name, std::uint8_t tagClass, bool foreign) {
    open_.push_back({name, tagClass, foreign});
    ++counts_[name];
  }
  void PopTo(std::size_t size) {
    while (open_.size() > size) {
      --counts_[open_.back().name];
      open_.pop_back();
    }
  }

  void StartTag(const std::string& name, std::uint8_t tagClass, bool selfClosing, std::size_t at) {
    bool foreign = !open_.empty() && open_.back().foreign;
    if (!foreign) {
      if (tagClass & kClosesParagraph) CloseNearest({"p"});
      if (name == "li") CloseNearest({"li"}, {"ul", "ol"});
      if (name == "dd" || name == "dt") CloseNearest({"dd", "dt"}, {"dl"});
      if (name == "option" || name == "optgroup") CloseNearest({"option"});
      if (name == "td" || name == "th") CloseNearest({"td", "th"}, {"tr", "tbody"});
      if (name == "tr") CloseNearest({"tr"}, {"tbody", "thead", "tfoot"});
      if (name == "a") CloseNearest({"a"});
      if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6' &&
          !open_.empty() && open_.back().name.size() == 2 && open_.back().name[0] == 'h')
        PopTo(open_.size() - 1);
      if (tagClass & kVoid) return;
    } else if (selfClosing) {
      return;
    }
    // The cap leaves room for html and body, which the parser adds around everything.
    if (open_.size() + 2 >= kMaxNestingDepth) {
      Replace(at, at, "</" + open_.back().name + ">");
      PopTo(open_.size() - 1);
    }
    Push(name, tagClass, foreign || name == "svg" || name == "math");
  }

  void EndTag(const std::string& name) {
    if (Count(name) == 0) return;
    for (std::size_t k = open_.size(); k-- > 0;) {
      if (open_[k].name == name) {
        PopTo(k);
        return;
      }
    }
  }

  struct Open {
    std::string name;
    std::uint8_t tagClass;
    bool foreign;
  };
  std::string_view in_;
  std::size_t i_ = 0;
  std::size_t copied_ = 0;
  bool changed_ = false;
  std::string out_;
  std::vector<Open> open_;
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> counts_;
};

}  // namespace

bool BoundMarkup(std::string_view html, std::string& bounded) {
  return Bounder(html).Run(bounded);
}

}  // namespace platform::mshtml
