// The CSS cascade behind IHTMLCurrentStyle: parses style sheets and gives each element the
// cascaded value of the properties the system reads, as text after inheritance ("12pt", "2em",
// "bold"). Bounded: no input makes it loop, recurse without limit or match exponentially.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mshtml/css/properties.h"

namespace platform::mshtml::css {

// What selector matching needs of an element; the document model implements it.
class ElementView {
 public:
  virtual ~ElementView() = default;
  virtual std::string_view LocalName() const = 0;  // lower case: "p", "img"
  virtual std::string_view Id() const = 0;
  virtual bool HasClass(std::string_view name) const = 0;
  // Attribute by lower-case name; null when absent.
  virtual const std::string* Attribute(std::string_view name) const = 0;
  virtual const ElementView* Parent() const = 0;           // null for the root element
  virtual const ElementView* PreviousElement() const = 0;  // previous element sibling
  virtual const ElementView* NextElement() const = 0;      // next element sibling
  // Position among the parent's element children, from 1, and their number, when the model
  // knows them cheaply; 0 makes the cascade count siblings for :nth-child and :nth-last-child,
  // which it does only so far (kMaxSiblingWalk).
  virtual std::size_t ElementIndex() const { return 0; }
  virtual std::size_t SiblingCount() const { return 0; }
};

enum class Property : std::uint8_t {
#define NB_CSS_ENUM(name, ...) name,
  NB_CSS_LONGHANDS(NB_CSS_ENUM)
#undef NB_CSS_ENUM
  // The number of longhands.
  Count
};

// Custom properties (--name) and their values with var() already substituted, sorted by name.
using CustomProperties = std::vector<std::pair<std::string, std::string>>;

struct ComputedStyle {
  std::array<std::string, static_cast<std::size_t>(Property::Count)> values;
  // A number no other record in the process has, given when a document model keeps the record
  // for good (0: none), so a reader can keep what it made of a record by its number. Not part
  // of the style: two records with the same values are the same style.
  std::uint64_t serial = 0;
  const std::string& Get(Property p) const { return values[static_cast<std::size_t>(p)]; }
  std::string& Set(Property p) { return values[static_cast<std::size_t>(p)]; }

  // What the children's cascade needs besides the values; set by Compute, shared, not read by
  // the model. Custom properties are inherited and shared while no element changes them.
  std::shared_ptr<const CustomProperties> custom;
  // Tags, ids and classes of this element and its ancestors, so a descendant selector whose
  // ancestors cannot be there is rejected without walking up.
  std::array<std::uint64_t, 8> ancestorFilter{};
  bool ancestorFilterValid = false;
  // The filter holds only names some selector asks of ancestors; this names that set.
  std::uint32_t ancestorFilterKeys = 0;

  // The computed font size and line height (font_size.h): sizes in the reader's size unit
  // (medium = 100), the unit a reported absolute size is written in, and the root's size.
  enum LineKind : std::uint8_t { LineNormal, LineFactor, LineAbsolute };
  double fontSize = 100;
  double rootFontSize = 100;
  double lineHeight = 0;  // a factor for LineFactor, size units for LineAbsolute
  std::uint8_t fontUnit = 0;
  std::uint8_t lineKind = LineNormal;
  bool SameSizes(const ComputedStyle& o) const {
    return fontSize == o.fontSize && rootFontSize == o.rootFontSize && lineHeight == o.lineHeight &&
           fontUnit == o.fontUnit && lineKind == o.lineKind;
  }
};

class StyleSheet {
 public:
  // Never fails: what cannot be parsed is skipped as CSS error handling says.
  static std::shared_ptr<const StyleSheet> Parse(std::string_view css);
  virtual ~StyleSheet() = default;
  // @import addresses as written, in order; the document model fetches and adds them
  // before this sheet.
  virtual const std::vector<std::string>& Imports() const = 0;
  virtual std::size_t RuleCount() const = 0;
};

// Whether a media query list (a <link> or <style> media attribute, the text after @media)
// applies to the screen the model stands for: a 1024x768 colour display; print does not.
bool MediaApplies(std::string_view mediaList);

class Cascade {
 public:
  Cascade();  // starts with the user-agent style sheet
  ~Cascade();
  Cascade(const Cascade&) = delete;
  Cascade& operator=(const Cascade&) = delete;

  // Author sheets in cascade order; index -1 appends.
  void AddSheet(std::shared_ptr<const StyleSheet> sheet, int index = -1);
  std::size_t SheetCount() const;

  // What a computation found out besides the style, for a model that gives an element the
  // style of a like sibling instead of matching it again.
  struct Notes {
    // No rule tried on the element depends on its place among its siblings (:nth-child and
    // the like, "+", "~"), and the bound left none out: a sibling with the same parent, name
    // and attributes gets the very same style.
    bool siblingIndependent = false;
    // Stronger: no rule tried looks at the siblings of the element or of its ancestors, so an
    // element whose own and ancestors' names and attributes are the same, and whose parent has
    // the same style, gets the very same style.
    bool cousinIndependent = false;
    // Weaker: the rules tried look at siblings only to ask whether the element (0) or also its
    // parent (1) is a first or last element child, so a cousin alike in that too gets the same
    // style. -1 when cousinIndependent holds, -2 when neither does.
    int cousinFirstLastDepth = -2;
    std::size_t work = 0;  // matching work spent, as the bound counts it
  };

  // e's style given its parent's computed style (null for the root) and its style attribute.
  ComputedStyle Compute(const ElementView& e, const ComputedStyle* parent,
                        std::string_view styleAttribute, Notes* notes = nullptr) const;
  // Counts the work of an element whose style is taken from a like sibling, so the bound falls
  // where it would have. False, and nothing counted, when matching it could have reached the
  // bound: then it must be computed.
  bool ChargeReuse(std::size_t work) const;

  // Matching author rules against elements is bounded in total, not only per selector (a rule
  // tried is a unit, eight selector steps another; real pages spend 5 to 150 an element): past
  // kMatchWorkBase + kMatchWorkPerElement per element of the page, elements get the rules of
  // the user-agent sheet, presentational hints and their style attributes only. A new sheet
  // starts the count again.
  static constexpr std::size_t kMatchWorkBase = std::size_t{2} << 20;
  static constexpr std::size_t kMatchWorkPerElement = 256;
  void SetElementCount(std::size_t elements);
  // Whether the bound left author rules unmatched, and the work spent so far.
  bool MatchingCutShort() const;
  std::size_t MatchWork() const;

  // What an element's attribute can do to its style under these sheets: nothing (no selector
  // or hint reads it; an id no selector names), something by being there, or by its value.
  // Elements that differ only in attributes of no use get the same style, so a model may
  // share one record between them.
  enum class AttributeUse : std::uint8_t { None, Presence, Value };
  AttributeUse UseOf(std::string_view name, std::string_view value) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::mshtml::css
