// A small element tree for cascade tests, written as tag soup: "<div class=a><p id=t></p></div>".
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mshtml/css/cascade.h"

namespace css_test {

class FakeElement : public platform::mshtml::css::ElementView {
 public:
  std::string tag;
  std::map<std::string, std::string> attributes;
  FakeElement* parent = nullptr;
  std::vector<std::unique_ptr<FakeElement>> children;
  std::size_t index = 0;  // from 1
  bool reportIndex = true;

  FakeElement() = default;
  FakeElement(const FakeElement&) = delete;
  FakeElement& operator=(const FakeElement&) = delete;
  ~FakeElement() override;  // iterative: test trees are deeper than the stack

  std::string_view LocalName() const override { return tag; }
  std::string_view Id() const override;
  bool HasClass(std::string_view name) const override;
  const std::string* Attribute(std::string_view name) const override;
  const ElementView* Parent() const override { return parent; }
  const ElementView* PreviousElement() const override;
  const ElementView* NextElement() const override;
  std::size_t ElementIndex() const override { return reportIndex ? index : 0; }
  std::size_t SiblingCount() const override {
    return reportIndex && parent ? parent->children.size() : 0;
  }

  FakeElement* Append(std::string childTag);
};

// Parses the markup; the root is the first element. Unclosed elements close at the end.
std::unique_ptr<FakeElement> ParseTree(std::string_view markup);

// The first element, in document order, whose id is id.
const FakeElement* FindById(const FakeElement& root, std::string_view id);

// Computes the style of every element from the root down to target, and returns target's.
platform::mshtml::css::ComputedStyle StyleOf(const platform::mshtml::css::Cascade& cascade,
                                             const FakeElement& target);

}  // namespace css_test
