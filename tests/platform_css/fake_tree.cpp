#include "tests/platform_css/fake_tree.h"

#include <algorithm>
#include <cctype>

namespace css_test {

using platform::mshtml::css::Cascade;
using platform::mshtml::css::ComputedStyle;
using platform::mshtml::css::ElementView;

FakeElement::~FakeElement() {
  std::vector<std::unique_ptr<FakeElement>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<FakeElement> e = std::move(pending.back());
    pending.pop_back();
    for (auto& c : e->children) pending.push_back(std::move(c));
    e->children.clear();
  }
}

std::string_view FakeElement::Id() const {
  auto it = attributes.find("id");
  return it == attributes.end() ? std::string_view() : std::string_view(it->second);
}

bool FakeElement::HasClass(std::string_view name) const {
  const std::string* c = Attribute("class");
  if (!c) return false;
  std::size_t i = 0;
  while (i < c->size()) {
    std::size_t start = c->find_first_not_of(" \t\n", i);
    if (start == std::string::npos) break;
    std::size_t end = c->find_first_of(" \t\n", start);
    if (end == std::string::npos) end = c->size();
    if (std::string_view(*c).substr(start, end - start) == name) return true;
    i = end;
  }
  return false;
}

const std::string* FakeElement::Attribute(std::string_view name) const {
  auto it = attributes.find(std::string(name));
  return it == attributes.end() ? nullptr : &it->second;
}

const ElementView* FakeElement::PreviousElement() const {
  if (!parent || index <= 1) return nullptr;
  return parent->children[index - 2].get();
}

const ElementView* FakeElement::NextElement() const {
  if (!parent || index >= parent->children.size()) return nullptr;
  return parent->children[index].get();
}

FakeElement* FakeElement::Append(std::string childTag) {
  auto child = std::make_unique<FakeElement>();
  child->tag = std::move(childTag);
  child->parent = this;
  child->index = children.size() + 1;
  children.push_back(std::move(child));
  return children.back().get();
}

std::unique_ptr<FakeElement> ParseTree(std::string_view m) {
  std::unique_ptr<FakeElement> root;
  FakeElement* current = nullptr;
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < m.size() && std::isspace(static_cast<unsigned char>(m[i]))) ++i;
  };
  auto name = [&] {
    std::size_t start = i;
    while (i < m.size() && !std::isspace(static_cast<unsigned char>(m[i])) && m[i] != '>' &&
           m[i] != '=' && m[i] != '/') {
      ++i;
    }
    return std::string(m.substr(start, i - start));
  };
  while (i < m.size()) {
    if (m[i] != '<') {
      ++i;
      continue;
    }
    ++i;
    if (i < m.size() && m[i] == '/') {
      ++i;
      name();
      if (current && current->parent) current = current->parent;
      while (i < m.size() && m[i] != '>') ++i;
      ++i;
      continue;
    }
    std::string tag = name();
    FakeElement* e;
    if (!root) {
      root = std::make_unique<FakeElement>();
      root->tag = tag;
      e = root.get();
    } else {
      e = (current ? current : root.get())->Append(tag);
    }
    bool selfClosing = false;
    for (;;) {
      skipSpace();
      if (i >= m.size()) break;
      if (m[i] == '>') {
        ++i;
        break;
      }
      if (m[i] == '/') {
        selfClosing = true;
        ++i;
        continue;
      }
      std::string attr = name();
      std::string value;
      if (i < m.size() && m[i] == '=') {
        ++i;
        if (i < m.size() && (m[i] == '"' || m[i] == '\'')) {
          char q = m[i++];
          std::size_t end = std::min(m.find(q, i), m.size());
          value = std::string(m.substr(i, end - i));
          i = end + 1;
        } else {
          value = name();
        }
      }
      e->attributes[attr] = value;
    }
    if (!selfClosing) current = e;
  }
  return root;
}

const FakeElement* FindById(const FakeElement& root, std::string_view id) {
  std::vector<const FakeElement*> stack{&root};
  while (!stack.empty()) {
    const FakeElement* e = stack.back();
    stack.pop_back();
    if (e->Id() == id) return e;
    for (auto it = e->children.rbegin(); it != e->children.rend(); ++it) stack.push_back(it->get());
  }
  return nullptr;
}

ComputedStyle StyleOf(const Cascade& cascade, const FakeElement& target) {
  std::vector<const FakeElement*> path;
  for (const FakeElement* e = &target; e; e = e->parent) path.push_back(e);
  ComputedStyle style;
  bool first = true;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const std::string* inlineStyle = (*it)->Attribute("style");
    ComputedStyle next =
        cascade.Compute(**it, first ? nullptr : &style, inlineStyle ? *inlineStyle : "");
    style = std::move(next);
    first = false;
  }
  return style;
}

}  // namespace css_test
