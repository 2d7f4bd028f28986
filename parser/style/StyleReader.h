// The stack of text styles that follows the element nesting during a walk, and the text
// attributes made from it: a whole style for a fresh text object, commands for what an inline
// element changes, and the commands that switch those back at its end.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "parser/style/ElementStyle.h"
#include "parser/style/TextStyle.h"
#include "platform/mshtml/mshtml.h"

class CNBKTextObject;

// A colour as the 32-bit attribute value whose bytes in memory are its byte form.
std::uint32_t PackColor(DWORD colour);

class CStyleReader {
 public:
  CStyleReader() = default;
  virtual ~CStyleReader() = default;
  CStyleReader(const CStyleReader&) = delete;
  CStyleReader& operator=(const CStyleReader&) = delete;

  void PushStyle(const CElementStyle& style);
  void PushStyle(IHTMLCurrentStyle* style) { PushStyle(CElementStyle(style)); }
  void PopStyle();
  // The top record (the element being handled); NULL on an empty stack.
  CTextStyle* GetTopStyle() const;
  CTextStyle* GetEnclosingStyle() const;
  size_t Depth() const { return m_stack.size(); }
  WORD BaseFontSize() const { return m_nBaseFontSize; }

  // The top record's whole style with its block background; -1 without text or style.
  int ApplyTopStyle(CNBKTextObject* text);
  // The enclosing record's whole style, without a block background; -1 without text or
  // without two records.
  int ApplyEnclosingStyle(CNBKTextObject* text);
  // Commands for the attributes in which the top differs from the enclosing record.
  // -1 with fewer than two records, -2 without text.
  int EmitStyleChanges(CNBKTextObject* text);
  // True when EmitStyleChanges would send at least one command.
  bool HasStyleChanges() const;
  // Switches back what EmitStyleChanges sent for the top record. Results as EmitStyleChanges.
  int RestoreEnclosingStyle(CNBKTextObject* text);

  std::unique_ptr<CTextStyle> ReadStyle(const CElementStyle& style);
  std::unique_ptr<CTextStyle> ReadStyle(IHTMLCurrentStyle* style) {
    return ReadStyle(CElementStyle(style));
  }

 private:
  void ApplyWholeStyle(const CTextStyle& style, CNBKTextObject* text, bool withBlockBack);
  // What ReadStyle gives, as a value.
  CTextStyle Read(const CElementStyle& style);
  CTextStyle ReadStyleAgainst(const CElementStyle& style, const CTextStyle* enclosing);

  // Records already read, by the model's record and what of the enclosing record they use.
  struct StyleKey {
    std::uint64_t serial;
    WORD base;
    bool blockBackSet;
    DWORD blockBack;
    bool operator==(const StyleKey&) const = default;
  };
  struct StyleKeyHash {
    std::size_t operator()(const StyleKey& k) const {
      return std::hash<std::uint64_t>()(k.serial * 0x9E3779B97F4A7C15ull ^
                                        (std::uint64_t{k.base} << 40) ^
                                        (std::uint64_t{k.blockBackSet} << 39) ^ k.blockBack);
    }
  };
  std::unordered_map<StyleKey, CTextStyle, StyleKeyHash> m_read;

  // In place rather than one allocation an element; a deque, so that a record handed out stays
  // where it is while others are pushed.
  std::deque<CTextStyle> m_styles;
  // The same records by address, which a deque does not find by position as cheaply.
  std::vector<CTextStyle*> m_stack;
  // The size relative sizes are taken against when no enclosing record gives one.
  WORD m_nBaseFontSize = 100;
};
