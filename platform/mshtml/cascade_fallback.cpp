// TEMPORARY: stands in for the cascade until platform/mshtml/css lands; weak, so the real one
// wins as soon as it is linked. Delete with the merge.
#include "platform/mshtml/css/cascade.h"

namespace platform::mshtml::css {

namespace {
class FallbackSheet final : public StyleSheet {
 public:
  const std::vector<std::string>& Imports() const override { return imports_; }
  std::size_t RuleCount() const override { return 0; }
  std::vector<std::string> imports_;
};
}  // namespace

struct Cascade::Impl {
  std::size_t sheets = 0;
};

__attribute__((weak)) std::shared_ptr<const StyleSheet> StyleSheet::Parse(std::string_view) {
  return std::make_shared<FallbackSheet>();
}
__attribute__((weak)) Cascade::Cascade() : impl_(new Impl) {}
__attribute__((weak)) Cascade::~Cascade() = default;
__attribute__((weak)) void Cascade::AddSheet(std::shared_ptr<const StyleSheet>, int) {
  ++impl_->sheets;
}
__attribute__((weak)) std::size_t Cascade::SheetCount() const {
  return impl_->sheets;
}
__attribute__((weak)) ComputedStyle Cascade::Compute(const ElementView& e,
                                                     const ComputedStyle* parent,
                                                     std::string_view) const {
  ComputedStyle s;
  s.Set(Property::FontSize) = parent ? parent->Get(Property::FontSize) : "medium";
  s.Set(Property::Display) = e.LocalName() == "p" || e.LocalName() == "div" ? "block" : "inline";
  s.Set(Property::WhiteSpace) =
      e.LocalName() == "pre" ? "pre" : (parent ? parent->Get(Property::WhiteSpace) : "normal");
  return s;
}

}  // namespace platform::mshtml::css
