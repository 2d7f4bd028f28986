#include "apps/nbclip/preview/book_preview.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/com.h"

namespace nbclip::preview {

namespace {

// Tags of text attributes, and of the commands that change one, as the converter sends them.
constexpr std::uint16_t kTagFontSize = 0xF511;
constexpr std::uint16_t kTagFontWeight = 0xF515;
constexpr std::uint16_t kTagTextColour = 0xF517;
constexpr std::uint16_t kTagTextBack = 0xF518;
constexpr std::uint16_t kTagLineHeight = 0xF51B;
constexpr std::uint16_t kTagBlockBack = 0xF534;
constexpr std::uint16_t kTagAlign = 0xF53C;

// Text commands without data.
constexpr std::uint16_t kCmdLineBreak = 0xF5D2;
constexpr std::uint16_t kCmdItalicOn = 0xF581;
constexpr std::uint16_t kCmdItalicOff = 0xF582;
constexpr std::uint16_t kCmdRubyStart = 0xF5A9;
constexpr std::uint16_t kCmdRubyEnd = 0xF5AA;
constexpr std::uint16_t kCmdBaseStart = 0xF5AB;
constexpr std::uint16_t kCmdBaseEnd = 0xF5AC;
constexpr std::uint16_t kCmdReadingStart = 0xF5AD;
constexpr std::uint16_t kCmdReadingEnd = 0xF5AE;

constexpr std::uint16_t kAlignLeft = 1;
constexpr std::uint16_t kAlignCenter = 4;
constexpr std::uint16_t kAlignRight = 8;

constexpr std::int32_t kInlineImageMode = 2;

// The writer's size unit: 100 is the medium font size, which the browser shows at 16 pixels.
constexpr double kPxPerSizeUnit = 0.16;

// Shown, and marked, when a book carries no design: the standard reader page.
const nbk::Design kFallbackDesign{600, 800, 16, 12, 16, 12, 100, 0x000000, 0xFFFFFF, u"Standard"};

// Marks listed at the end of the preview; the rest are only counted.
constexpr std::size_t kMarksListed = 500;

std::string Hex(std::uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
  return buf;
}

std::string Px(double px) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", px);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s + "px";
}

std::string SizePx(std::uint32_t units) {
  return Px(units * kPxPerSizeUnit);
}

std::string Css(std::uint32_t colour) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06x", colour & 0xFFFFFF);
  return buf;
}

// A colour handed over as four bytes, most significant first, read as one little-endian value:
// 0x00RRGGBB arrives as 0xBBGGRR00. nullopt for no colour (0xFF000000) or any other value with
// its top byte set.
std::optional<std::uint32_t> Unpack(std::uint32_t packed) {
  std::uint32_t colour = __builtin_bswap32(packed);
  if (colour & 0xFF000000) return std::nullopt;
  return colour;
}

// Text of the book as HTML: markup characters escaped, line breaks and tabs kept (lines are
// shown with white-space: pre-wrap). Other control characters cannot be shown; the caller
// is told by controls (when given) and they appear as their code.
std::string Html(std::u16string_view text, std::size_t* controls = nullptr) {
  std::string utf8 = platform::com::Utf16ToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
      case '\t':
        out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char buf[24];
          std::snprintf(buf, sizeof buf, "<b>U+%04X</b>", static_cast<unsigned>(c));
          out += buf;
          if (controls) ++*controls;
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string Html(std::string_view ascii) {
  return Html(platform::com::Utf8ToUtf16(ascii));
}

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    for (int shift : {18, 12, 6, 0}) out += kDigits[v >> shift & 63];
  }
  if (i + 1 == bytes.size()) {
    std::uint32_t v = bytes[i] << 16;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += kDigits[v >> 6 & 63];
    out += '=';
  }
  return out;
}

const char* MimeType(nbk::ImageType type) {
  switch (type) {
    case nbk::ImageType::kPng:
      return "image/png";
    case nbk::ImageType::kJpeg:
      return "image/jpeg";
    case nbk::ImageType::kGif:
      return "image/gif";
    case nbk::ImageType::kBmp:
      return "image/bmp";
    case nbk::ImageType::kUnknown:
      break;
  }
  return nullptr;
}

// CSS border style of a ruled-line style code; nullptr for a code the reader does not know.
const char* RuleStyle(std::int32_t style) {
  switch (style) {
    case 16:
      return "solid";
    case 32:
      return "dashed";
    case 48:
      return "double";
    case 64:
      return "dotted";
    default:
      return nullptr;
  }
}

const char* AlignCss(std::uint16_t align) {
  switch (align) {
    case kAlignCenter:
      return "center";
    case kAlignRight:
      return "right";
    default:
      return "left";
  }
}

std::string Words(const std::vector<std::uint16_t>& data) {
  std::string s;
  for (std::uint16_t w : data) s += " " + Hex(w, 4);
  return s;
}

// What the preview could not show, each with an anchor so the list at the end can point at it.
class Marks {
 public:
  // A mark inside a line of text or between blocks.
  std::string Inline(const std::string& label, const std::string& why) {
    return Tag("span", label, why);
  }
  std::string Block(const std::string& label, const std::string& why) {
    return Tag("div", label, why);
  }
  std::size_t Count() const { return m_count; }
  const std::vector<std::string>& Listed() const { return m_listed; }

 private:
  std::string Tag(const char* tag, const std::string& label, const std::string& why) {
    ++m_count;
    std::string id = "m" + std::to_string(m_count);
    if (m_listed.size() < kMarksListed) {
      m_listed.push_back("<a href=\"#" + id + "\">" + Html(label) + "</a> " + Html(why));
    }
    return std::string("<") + tag + " class=\"nbk-mark\" id=\"" + id + "\" title=\"" + Html(why) +
           "\">" + Html(label) + "</" + tag + ">";
  }

  std::size_t m_count = 0;
  std::vector<std::string> m_listed;
};

// Image data as <img> elements; each image's data is encoded once however often it is shown.
class Images {
 public:
  Images(const nbk::BookIndex& index, Marks& marks) : m_index(index), m_marks(marks) {}

  std::string Element(std::uint32_t dataId, const char* where) {
    const nbk::ImageData* image = dataId ? m_index.FindImage(dataId) : nullptr;
    if (!image) {
      return m_marks.Inline("[image]",
                            std::string(where) + (dataId ? " whose data " + std::to_string(dataId) +
                                                               " is missing from the book"
                                                         : " without image data"));
    }
    const char* mime = MimeType(image->type);
    if (!mime) {
      return m_marks.Inline("[image " + std::to_string(dataId) + "]",
                            std::string(where) + " of an unknown image type");
    }
    auto [it, fresh] = m_encoded.try_emplace(dataId);
    if (fresh) it->second = std::string("data:") + mime + ";base64," + Base64(image->bytes);
    ++m_shown;
    std::string img = "<img class=\"nbk-img\" src=\"" + it->second + "\"";
    if (image->width && image->height) {
      img += " width=\"" + std::to_string(image->width) + "\" height=\"" +
             std::to_string(image->height) + "\"";
    }
    return img + " alt=\"\">";
  }
  std::size_t Shown() const { return m_shown; }

 private:
  const nbk::BookIndex& m_index;
  Marks& m_marks;
  std::map<std::uint32_t, std::string> m_encoded;
  std::size_t m_shown = 0;
};

// The text attributes in force at a point of a text stream.
struct TextState {
  std::uint16_t size = 0;               // 0: the page's size
  std::uint16_t lineHeight = 0;         // 0: the browser's normal
  std::uint16_t weight = 0;             // 0: normal
  std::optional<std::uint32_t> colour;  // nullopt: the page's
  std::optional<std::uint32_t> back;    // nullopt: none
  bool italic = false;
  std::uint16_t align = kAlignLeft;
};

// Turns one text stream into lines of HTML. The stream's structure (buttons, ruby, readings)
// need not nest; the HTML always does: an element closed out of order closes those inside it
// and opens them again after, and a write mark, which ends a line, carries open buttons and
// ruby over into the next line.
class TextWriter {
 public:
  TextWriter(std::string& out, const nbk::BookIndex& index, Marks& marks, Images& images)
      : m_out(out), m_index(index), m_marks(marks), m_images(images) {}

  void Write(const nbk::TextBlock& block) {
    for (const nbk::TextItem& item : block.items) Item(item);
    EndLine();
  }

 private:
  enum class Kind { kLink, kRuby, kReading, kSpan };
  struct Open {
    Kind kind;
    std::string open;  // the start tag, written again when the element is reopened
    const char* close;
  };

  void Item(const nbk::TextItem& item) {
    switch (item.op) {
      case nbk::StreamOp::kText:
        Text(item.text);
        break;
      case nbk::StreamOp::kCommand:
        Command(item.code, item.data);
        break;
      case nbk::StreamOp::kAttribute:
        Attribute(item.attr.tag, item.attr.value);
        break;
      case nbk::StreamOp::kButtonStart:
        ButtonStart(item.id);
        break;
      case nbk::StreamOp::kButtonEnd:
        if (!CloseDownTo(Kind::kLink)) Mark("[button end]", "a button end with no button open");
        break;
      case nbk::StreamOp::kImage:
        if (item.mode != kInlineImageMode) {
          Mark("[image mode " + std::to_string(item.mode) + "]",
               "an inline image placed in a mode the reader does not know; shown inline");
        }
        EnsureLine();
        m_out += m_images.Element(item.dataId, "an inline image");
        break;
      case nbk::StreamOp::kWrite:
        EndLine();
        break;
    }
  }

  void Text(std::u16string_view text) {
    if (text.empty()) return;
    EnsureLine();
    EnsureSpan();
    std::size_t controls = 0;
    std::string html = Html(text, &controls);
    if (controls) {
      m_out += m_marks.Inline(
          "[control characters]",
          std::to_string(controls) + " control character(s) in the text, shown as their codes");
    }
    m_out += html;
  }

  void Command(std::uint16_t code, const std::vector<std::uint16_t>& data) {
    if (!data.empty() && !IsAttributeTag(code)) {
      Mark("[command " + Hex(code, 4) + Words(data) + "]",
           "a command with data the reader does not know");
      return;
    }
    switch (code) {
      case kCmdLineBreak:
        EnsureLine();
        m_out += "<br>";
        return;
      case kCmdItalicOn:
      case kCmdItalicOff:
        m_state.italic = code == kCmdItalicOn;
        return;
      case kCmdRubyStart:
        if (Find(Kind::kRuby)) return Mark("[ruby]", "a ruby started inside a ruby");
        return Push(Kind::kRuby, "<ruby>", "</ruby>");
      case kCmdRubyEnd:
        if (!CloseDownTo(Kind::kRuby)) Mark("[/ruby]", "a ruby end with no ruby open");
        return;
      case kCmdBaseStart:
      case kCmdBaseEnd:
        // The base is the ruby's own text; only a base outside a ruby is out of place.
        if (!Find(Kind::kRuby))
          Mark(code == kCmdBaseStart ? "[rb]" : "[/rb]", "a ruby base outside a ruby");
        return;
      case kCmdReadingStart:
        if (!Find(Kind::kRuby) || Find(Kind::kReading)) {
          return Mark("[rt]", "a ruby reading outside a ruby; shown as plain text");
        }
        return Push(Kind::kReading, "<rt>", "</rt>");
      case kCmdReadingEnd:
        if (!CloseDownTo(Kind::kReading)) Mark("[/rt]", "a ruby reading end with no reading open");
        return;
      default:
        break;
    }
    if (IsAttributeTag(code)) {
      if (std::optional<std::uint32_t> value = CommandValue(code, data)) {
        Attribute(code, *value);
      } else {
        Mark("[command " + Hex(code, 4) + Words(data) + "]",
             "an attribute command with the wrong amount of data");
      }
      return;
    }
    Mark("[command " + Hex(code, 4) + "]", "a command the reader does not know");
  }

  static bool IsAttributeTag(std::uint16_t code) {
    return code == kTagFontSize || code == kTagLineHeight || code == kTagFontWeight ||
           code == kTagTextColour || code == kTagTextBack;
  }

  // The value of an attribute command as ChangeAtr would carry it: one word for sizes and the
  // weight, two (the colour's four bytes) for colours.
  static std::optional<std::uint32_t> CommandValue(std::uint16_t tag,
                                                   const std::vector<std::uint16_t>& data) {
    bool colour = tag == kTagTextColour || tag == kTagTextBack;
    if (data.size() != (colour ? 2u : 1u)) return std::nullopt;
    return colour ? static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 16
                  : data[0];
  }

  void Attribute(std::uint16_t tag, std::uint32_t value) {
    auto word = [&](std::uint16_t& field) {
      if (value > 0xFFFF) {
        Mark("[attr " + Hex(tag, 4) + " = " + Hex(value, 8) + "]", "a value out of range");
      } else {
        field = static_cast<std::uint16_t>(value);
      }
    };
    switch (tag) {
      case kTagFontSize:
        return word(m_state.size);
      case kTagLineHeight:
        return word(m_state.lineHeight);
      case kTagFontWeight:
        return word(m_state.weight);
      case kTagTextColour:
        m_state.colour = Unpack(value);
        return;
      case kTagTextBack:
        m_state.back = Unpack(value);
        return;
      case kTagAlign:
        if (value != kAlignLeft && value != kAlignCenter && value != kAlignRight) {
          Mark("[align " + std::to_string(value) + "]", "an alignment the reader does not know");
        }
        // Alignment belongs to a line: it applies from the next line on once text has begun.
        m_state.align = static_cast<std::uint16_t>(value);
        return;
      default:
        Mark("[attr " + Hex(tag, 4) + " = " + Hex(value, 8) + "]",
             "a text attribute the reader does not know");
    }
  }

  void ButtonStart(std::uint32_t id) {
    CloseDownTo(Kind::kLink);  // buttons do not nest: an open one ends here
    std::string href;
    const nbk::Button* button = m_index.FindButton(id);
    if (!button) {
      Mark("[button]", "a button that is not in the book's list of buttons");
    } else if (!button->jumpSet || (!button->pageId && !button->blockId)) {
      Mark("[button]", "a button with no jump target");
    } else if (button->blockId && m_index.BlockPlace(button->blockId)) {
      href = "#b" + std::to_string(button->blockId);
    } else if (button->pageId && m_index.PageNumber(button->pageId)) {
      href = "#p" + std::to_string(button->pageId);
      if (button->blockId) {
        Mark("[button]", "the target block is not in the book; the button jumps to its page");
      }
    } else {
      Mark("[button]", "the button's target is not in the book");
    }
    Push(Kind::kLink,
         href.empty() ? "<a class=\"nbk-button nbk-dead\">"
                      : "<a class=\"nbk-button\" href=\"" + href + "\">",
         "</a>");
  }

  void Mark(const std::string& label, const std::string& why) {
    EnsureLine();
    CloseSpan();
    m_out += m_marks.Inline(label, why);
  }

  bool Find(Kind kind) const {
    return std::any_of(m_open.begin(), m_open.end(), [&](const Open& e) { return e.kind == kind; });
  }

  void EnsureLine() {
    if (m_lineOpen) return;
    m_out += "<div class=\"nbk-line\" style=\"text-align:";
    m_out += AlignCss(m_state.align);
    if (m_state.size) m_out += ";font-size:" + SizePx(m_state.size);
    if (m_state.lineHeight) m_out += ";line-height:" + SizePx(m_state.lineHeight);
    m_out += "\">";
    m_lineOpen = true;
    m_lineSize = m_state.size;
    m_lineHeight = m_state.lineHeight;
    for (const Open& e : m_open) m_out += e.open;
  }

  void EndLine() {
    if (!m_lineOpen) return;
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) m_out += it->close;
    std::erase_if(m_open, [](const Open& e) { return e.kind == Kind::kSpan; });
    m_out += "</div>";
    m_lineOpen = false;
  }

  void Push(Kind kind, std::string open, const char* close) {
    EnsureLine();
    CloseSpan();
    m_out += open;
    m_open.push_back({kind, std::move(open), close});
  }

  void CloseSpan() {
    if (!m_open.empty() && m_open.back().kind == Kind::kSpan) {
      m_out += m_open.back().close;
      m_open.pop_back();
    }
  }

  // Closes the innermost open element of kind and everything opened inside it, then opens
  // those again (spans excepted: the next text opens its own). False when none is open.
  bool CloseDownTo(Kind kind) {
    auto it =
        std::find_if(m_open.rbegin(), m_open.rend(), [&](const Open& e) { return e.kind == kind; });
    if (it == m_open.rend()) return false;
    std::size_t at = m_open.size() - 1 - static_cast<std::size_t>(it - m_open.rbegin());
    std::vector<Open> inner(m_open.begin() + static_cast<std::ptrdiff_t>(at) + 1, m_open.end());
    if (m_lineOpen) {
      for (std::size_t i = m_open.size(); i-- > at;) m_out += m_open[i].close;
    }
    m_open.resize(at);
    for (Open& e : inner) {
      if (e.kind == Kind::kSpan) continue;
      if (m_lineOpen) m_out += e.open;
      m_open.push_back(std::move(e));
    }
    return true;
  }

  std::string SpanStyle() const {
    bool reading = Find(Kind::kReading);
    std::string s;
    // A reading is shown at half its size above the base, as ruby is printed.
    // Sizes the line already has are not repeated.
    if (m_state.size && (reading || m_state.size != m_lineSize)) {
      s += ";font-size:" + SizePx(reading ? m_state.size / 2u : m_state.size);
    }
    if (m_state.lineHeight && !reading && m_state.lineHeight != m_lineHeight) {
      s += ";line-height:" + SizePx(m_state.lineHeight);
    }
    if (m_state.weight)
      s += ";font-weight:" + std::to_string(std::clamp<int>(m_state.weight, 1, 1000));
    if (m_state.colour) s += ";color:" + Css(*m_state.colour);
    if (m_state.back) s += ";background-color:" + Css(*m_state.back);
    if (m_state.italic) s += ";font-style:italic";
    return s.empty() ? s : s.substr(1);
  }

  void EnsureSpan() {
    std::string style = SpanStyle();
    std::string open = style.empty() ? std::string() : "<span style=\"" + style + "\">";
    if (!m_open.empty() && m_open.back().kind == Kind::kSpan) {
      if (m_open.back().open == open) return;
      CloseSpan();
    }
    if (open.empty()) return;
    m_out += open;
    m_open.push_back({Kind::kSpan, std::move(open), "</span>"});
  }

  std::string& m_out;
  const nbk::BookIndex& m_index;
  Marks& m_marks;
  Images& m_images;
  TextState m_state;
  std::vector<Open> m_open;
  bool m_lineOpen = false;
  std::uint16_t m_lineSize = 0;
  std::uint16_t m_lineHeight = 0;
};

constexpr std::string_view kStyleSheet = R"(
html { background: #7d7d7d; }
body { margin: 0; padding: 0 0 24px; font-family: serif; }
.nbk-bar { background: #2b2b2b; color: #eee; font: 13px/1.6 sans-serif; padding: 6px 12px;
  margin-bottom: 16px; }
.nbk-bar a { color: #9cf; }
.nbk-label { font: 12px sans-serif; color: #f4f4f4; text-align: center; margin: 0 auto 4px; }
.nbk-page { margin: 0 auto 24px; overflow-wrap: anywhere; box-shadow: 0 2px 8px #0006; }
.nbk-line { white-space: pre-wrap; }
.nbk-img { max-width: 100%; height: auto; vertical-align: baseline; }
.nbk-rule { height: 0; }
a.nbk-button { text-decoration: underline; }
a.nbk-dead { text-decoration: underline dashed; }
.nbk-mark { color: #a00000; background: #fff2a8; border: 1px dashed #a00000;
  font: 11px/1.3 monospace; font-style: normal; font-weight: normal; white-space: pre; }
.nbk-cover { display: flex; flex-direction: column; justify-content: center; text-align: center; }
.nbk-cover-title { font-size: 1.8em; font-weight: bold; margin-bottom: 1em; }
.nbk-toc-title { font-weight: bold; font-size: 1.3em; margin-bottom: 0.5em; }
.nbk-marks { background: #fff; margin: 0 auto; padding: 8px 16px; font: 13px sans-serif; }
)";

class BookWriter {
 public:
  BookWriter(const nbk::Book& book, std::ostream& out)
      : m_book(book),
        m_out(out),
        m_index(book),
        m_images(m_index, m_marks),
        m_design(book.design ? *book.design : kFallbackDesign) {}

  PreviewStats Write() {
    Head();
    Cover();
    Contents();
    for (std::size_t p = 0; p < m_book.pages.size(); ++p) Page(p);
    Tail();
    m_stats.pages = m_book.pages.size();
    m_stats.images = m_images.Shown();
    m_stats.marks = m_marks.Count();
    return m_stats;
  }

 private:
  // The reader's page: the design's width and height with its margins inside, its font size
  // and colours.
  std::string PageStyle() const {
    const nbk::Design& d = m_design;
    auto inner = [](std::uint32_t whole, std::uint32_t a, std::uint32_t b) {
      return whole > a + b ? whole - a - b : 0;
    };
    return "width:" + Px(inner(d.pageWidth, d.marginLeft, d.marginRight)) +
           ";min-height:" + Px(inner(d.pageHeight, d.marginTop, d.marginBottom)) +
           ";padding:" + Px(d.marginTop) + " " + Px(d.marginRight) + " " + Px(d.marginBottom) +
           " " + Px(d.marginLeft) + ";font-size:" + SizePx(d.fontSize) +
           ";color:" + Css(d.textColour) + ";background-color:" + Css(d.backColour);
  }

  void Head() {
    std::u16string title = m_book.meta ? m_book.meta->title : u"";
    if (title.empty() && m_book.cover) title = m_book.cover->title;
    m_out << "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             "img-src data:; style-src 'unsafe-inline'\">\n"
             "<meta name=\"generator\" content=\"nbclip view\">\n<title>"
          << Html(title.empty() ? u"(untitled book)" : title) << "</title>\n<style>" << kStyleSheet
          << "</style>\n</head>\n<body>\n";
    std::string bar = "<header class=\"nbk-bar\">";
    if (m_book.meta) {
      const nbk::Metadata& m = *m_book.meta;
      bar += "<b>" + Html(m.title) + "</b>";
      if (!m.titleReading.empty()) bar += " (" + Html(m.titleReading) + ")";
      if (!m.author.empty()) bar += " — " + Html(m.author);
      if (!m.authorReading.empty()) bar += " (" + Html(m.authorReading) + ")";
      if (!m.bookId.empty()) bar += " · ID " + Html(m.bookId);
    }
    bar += " · " + std::to_string(m_book.pages.size()) + " page(s) · design " +
           Html(m_design.name) + " · <a href=\"#toc\">contents</a>";
    m_out << bar << "</header>\n";
    if (!m_book.design) {
      m_out << "<div class=\"nbk-page\" style=\"" << PageStyle() << ";min-height:0\">"
            << m_marks.Block("[no design]",
                             "the book carries no design; the standard reader page is shown")
            << "</div>\n";
    }
  }

  void Cover() {
    if (!m_book.cover) return;
    m_out << "<div class=\"nbk-label\">cover</div>\n<section class=\"nbk-page nbk-cover\" "
             "id=\"cover\" style=\""
          << PageStyle() << "\"><div class=\"nbk-cover-title\">" << Html(m_book.cover->title)
          << "</div><div class=\"nbk-cover-author\">" << Html(m_book.cover->author)
          << "</div></section>\n";
  }

  void Contents() {
    std::string html =
        "<div class=\"nbk-label\">contents</div>\n<nav class=\"nbk-page nbk-toc\" "
        "id=\"toc\" style=\"" +
        PageStyle() + "\"><div class=\"nbk-toc-title\">目次</div><ol>";
    for (const nbk::TocEntry& e : m_book.toc) {
      html += "<li>";
      if (m_index.PageNumber(e.pageId)) {
        html += "<a href=\"#p" + std::to_string(e.pageId) + "\">" + Html(e.title) + "</a>";
      } else {
        html +=
            Html(e.title) + " " + m_marks.Inline("[page ?]", "the entry's page is not in the book");
      }
      html += "</li>";
    }
    html += "</ol></nav>\n";
    m_out << html;
  }

  void Page(std::size_t p) {
    const nbk::Page& page = m_book.pages[p];
    std::string html = "<div class=\"nbk-label\">page " + std::to_string(p + 1) +
                       "</div>\n<section class=\"nbk-page\" id=\"p" + std::to_string(page.id) +
                       "\" style=\"" + PageStyle() + "\">\n";
    // Where the next block goes: below the last one, moved by every location set since.
    nbk::Location next;
    auto place = [&](std::uint32_t blockId, const std::vector<nbk::Attribute>& attrs,
                     const char* kind) {
      std::string style;
      if (next.y) style += ";margin-top:" + Px(next.y);
      if (next.x) style += ";margin-left:" + Px(next.x);
      std::string marks;
      for (const nbk::Attribute& a : attrs) {
        if (a.tag == kTagBlockBack) {
          std::optional<std::uint32_t> back = Unpack(a.value);
          style += ";background-color:" + (back ? Css(*back) : std::string("transparent"));
        } else {
          marks += m_marks.Block("[block-attr " + Hex(a.tag, 4) + " = " + Hex(a.value, 8) + "]",
                                 "a block attribute the reader does not know");
        }
      }
      next = {};
      ++m_stats.blocks;
      html += "<div class=\"nbk-block " + std::string(kind) + "\" id=\"b" +
              std::to_string(blockId) + "\"" +
              (style.empty() ? std::string() : " style=\"" + style.substr(1) + "\"") + ">" + marks;
    };
    for (const nbk::PageItem& item : page.items) {
      if (const auto* text = std::get_if<nbk::TextBlock>(&item)) {
        place(text->blockId, text->blockAttrs, "nbk-text");
        TextWriter(html, m_index, m_marks, m_images).Write(*text);
        html += "</div>\n";
      } else if (const auto* image = std::get_if<nbk::ImageBlock>(&item)) {
        place(image->blockId, image->blockAttrs, "nbk-image");
        html += m_images.Element(image->dataId, "an image block");
        html += "</div>\n";
      } else if (const auto* location = std::get_if<nbk::Location>(&item)) {
        next.x = std::clamp(next.x + location->x, -100000, 100000);
        next.y = std::clamp(next.y + location->y, -100000, 100000);
      } else if (const auto* rule = std::get_if<nbk::RuledLine>(&item)) {
        Rule(*rule, html);
      }
    }
    html += "</section>\n";
    m_out << html;
  }

  // A rule lies right below the last block; its length is kept within the page.
  void Rule(const nbk::RuledLine& rule, std::string& html) {
    const char* style = RuleStyle(rule.style);
    if (!style) {
      html += m_marks.Block("[rule style " + std::to_string(rule.style) + "]",
                            "a ruled-line style the reader does not know; shown solid");
      style = "solid";
    }
    if (rule.flags) {
      html += m_marks.Block("[rule flags " + std::to_string(rule.flags) + "]",
                            "ruled-line flags the reader does not know");
    }
    html += "<div class=\"nbk-rule\" style=\"border-top:" + Px(std::clamp(rule.width, 0, 1000)) +
            " " + style + " currentColor;width:min(" + Px(std::clamp(rule.length, 0, 100000)) +
            ",100%)\"></div>\n";
  }

  void Tail() {
    if (m_marks.Count()) {
      m_out << "<section class=\"nbk-marks\" id=\"marks\" style=\"width:" << Px(m_design.pageWidth)
            << "\"><b>" << m_marks.Count()
            << " item(s) of the book cannot be shown here; each is marked where it stands:</b><ol>";
      for (const std::string& m : m_marks.Listed()) m_out << "<li>" << m << "</li>";
      m_out << "</ol></section>\n";
    }
    m_out << "</body>\n</html>\n";
  }

  const nbk::Book& m_book;
  std::ostream& m_out;
  nbk::BookIndex m_index;
  Marks m_marks;
  Images m_images;
  nbk::Design m_design;
  PreviewStats m_stats;
};

}  // namespace

PreviewStats WritePreview(const nbk::Book& book, std::ostream& out) {
  return BookWriter(book, out).Write();
}

}  // namespace nbclip::preview
