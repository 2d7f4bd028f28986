#include "platform/mshtml/bounds.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
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

// Tag names the model asks about by name get fixed numbers; others are numbered as they come.
enum FixedTag : std::uint32_t {
  kP,
  kLi,
  kUl,
  kOl,
  kDd,
  kDt,
  kDl,
  kOption,
  kOptgroup,
  kTd,
  kTh,
  kTr,
  kTbody,
  kThead,
  kTfoot,
  kA,
  kSvg,
  kMath,
  kPlaintext,
  kH1,  // to kH6
  kFixedTags = kH1 + 6,
};
constexpr std::string_view kFixedNames[kFixedTags] = {
    "p",         "li", "ul", "ol",    "dd",    "dt",    "dl", "option", "optgroup",
    "td",        "th", "tr", "tbody", "thead", "tfoot", "a",  "svg",    "math",
    "plaintext", "h1", "h2", "h3",    "h4",    "h5",    "h6"};

class Bounder {
 public:
  explicit Bounder(std::string_view in) : in_(in) {
    for (std::string_view name : kFixedNames) Id(name);
  }

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
  struct Tag {
    std::string name;
    std::uint8_t tagClass;
    bool twoLettersFromH;  // h1 to h6, and any other such name, which a heading closes
    int open;              // how many are open
  };

  // One lookup per tag in the markup; everything after works on the number.
  // A page uses a few dozen names, so a slot picked by length and two letters nearly always
  // holds the name already and spares the hash.
  std::uint32_t Id(std::string_view name) {
    if (name.empty()) return Lookup(name);
    std::uint32_t& slot = recent_[(name.size() * 37 + static_cast<unsigned char>(name[0]) * 5 +
                                   static_cast<unsigned char>(name.back())) &
                                  (kRecent - 1)];
    if (slot && tags_[slot - 1].name == name) return slot - 1;
    std::uint32_t id = Lookup(name);
    slot = id + 1;
    return id;
  }
  std::uint32_t Lookup(std::string_view name) {
    auto it = ids_.find(name);
    if (it != ids_.end()) return it->second;
    auto id = static_cast<std::uint32_t>(tags_.size());
    tags_.push_back({std::string(name), ClassOf(name), name.size() == 2 && name[0] == 'h', 0});
    ids_.emplace(tags_.back().name, id);
    return id;
  }

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
    const std::size_t nameFrom = i_;
    while (i_ < in_.size() && !IsSpace(in_[i_]) && in_[i_] != '/' && in_[i_] != '>') ++i_;
    name_.assign(in_.substr(nameFrom, i_ - nameFrom));
    for (char& c : name_) c = AsciiLower(c);
    const std::uint32_t id = Id(name_);
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
      EndTag(id);
      return;
    }
    const std::uint8_t tagClass = tags_[id].tagClass;
    StartTag(id, selfClosing, tagStart);
    if (dropTo > dropFrom) Replace(dropFrom, dropTo, {});
    if (id == kPlaintext) {
      i_ = in_.size();
    } else if (tagClass & kRawText) {
      SkipRawText(tags_[id].name);
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

  // Pops to the nearest open element that is one of `ids`, looking no further than a scope
  // boundary (or one of `stopAt`).
  void CloseNearest(std::initializer_list<std::uint32_t> ids,
                    std::initializer_list<std::uint32_t> stopAt = {}) {
    // Most tags have none of these open: the counts spare the walk down the stack.
    bool any = false;
    for (std::uint32_t id : ids) any |= tags_[id].open > 0;
    if (!any) return;
    auto in = [](std::uint32_t id, std::initializer_list<std::uint32_t> set) {
      return std::find(set.begin(), set.end(), id) != set.end();
    };
    for (std::size_t k = open_.size(); k-- > 0;) {
      const std::uint32_t id = open_[k].id;
      if (in(id, ids)) {
        PopTo(k);
        return;
      }
      if ((tags_[id].tagClass & kScopeBoundary) || in(id, stopAt)) return;
    }
  }

  void Push(std::uint32_t id, bool foreign) {
    open_.push_back({id, foreign});
    ++tags_[id].open;
  }
  void PopTo(std::size_t size) {
    while (open_.size() > size) {
      --tags_[open_.back().id].open;
      open_.pop_back();
    }
  }
  static bool IsHeading(std::uint32_t id) { return id >= kH1 && id < kH1 + 6; }

  void StartTag(std::uint32_t id, bool selfClosing, std::size_t at) {
    const std::uint8_t tagClass = tags_[id].tagClass;
    bool foreign = !open_.empty() && open_.back().foreign;
    if (!foreign) {
      if (tagClass & kClosesParagraph) CloseNearest({kP});
      if (id == kLi) CloseNearest({kLi}, {kUl, kOl});
      if (id == kDd || id == kDt) CloseNearest({kDd, kDt}, {kDl});
      if (id == kOption || id == kOptgroup) CloseNearest({kOption});
      if (id == kTd || id == kTh) CloseNearest({kTd, kTh}, {kTr, kTbody});
      if (id == kTr) CloseNearest({kTr}, {kTbody, kThead, kTfoot});
      if (id == kA) CloseNearest({kA});
      if (IsHeading(id) && !open_.empty() && tags_[open_.back().id].twoLettersFromH) {
        PopTo(open_.size() - 1);
      }
      if (tagClass & kVoid) return;
    } else if (selfClosing) {
      return;
    }
    // The cap leaves room for html and body, which the parser adds around everything.
    if (open_.size() + 2 >= kMaxNestingDepth) {
      Replace(at, at, "</" + tags_[open_.back().id].name + ">");
      PopTo(open_.size() - 1);
    }
    Push(id, foreign || id == kSvg || id == kMath);
  }

  void EndTag(std::uint32_t id) {
    if (tags_[id].open == 0) return;
    for (std::size_t k = open_.size(); k-- > 0;) {
      if (open_[k].id == id) {
        PopTo(k);
        return;
      }
    }
  }

  struct Open {
    std::uint32_t id;
    bool foreign;
  };
  std::string_view in_;
  std::size_t i_ = 0;
  std::size_t copied_ = 0;
  bool changed_ = false;
  std::string out_;
  std::string name_;      // the current tag's name, lower case
  std::deque<Tag> tags_;  // a deque, so the names ids_ views stay where they are
  std::unordered_map<std::string_view, std::uint32_t, NameHash, std::equal_to<>> ids_;
  std::vector<Open> open_;
  static constexpr std::size_t kRecent = 256;
  std::array<std::uint32_t, kRecent> recent_{};  // id + 1 of a name seen; 0 for none
};

}  // namespace

bool BoundMarkup(std::string_view html, std::string& bounded) {
  return Bounder(html).Run(bounded);
}

}  // namespace platform::mshtml
