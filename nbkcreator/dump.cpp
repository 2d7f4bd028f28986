#include "nbkcreator/dump.h"

#include <cstdio>

namespace nbk {

namespace {

std::string Hex(std::uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%0*llx", digits, static_cast<unsigned long long>(v));
  return buf;
}

std::string Id(std::uint32_t id) {
  return id ? "#" + std::to_string(id) : "none";
}

// Quoted, with \\ \" \n \r \t and \u{XXXX} for other control characters and lone surrogates,
// so that every UTF-16 unit stays visible.
std::string Quote(std::u16string_view s, bool json) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    bool pair =
        c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
    if (pair) {
      out += ToUtf8(s.substr(i, 2));
      ++i;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[16];
      std::snprintf(buf, sizeof buf, json ? "\\u%04x" : "\\u{%04x}", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += ToUtf8(s.substr(i, 1));
    }
  }
  return out + "\"";
}

class Resolver {
 public:
  explicit Resolver(const Book& book) : m_index(book) {}

  std::size_t PageNumber(std::uint32_t id) const { return m_index.PageNumber(id); }
  std::size_t BlockNumber(std::uint32_t id) const {
    std::optional<Place> place = m_index.BlockPlace(id);
    return place ? place->item : 0;
  }

  std::string PageOf(std::uint32_t id) const {
    std::size_t page = m_index.PageNumber(id);
    if (!page) return "page ? (" + Id(id) + ")";
    return "page " + std::to_string(page) + " (" + Id(id) + ")";
  }

  std::string Target(const Button& b) const {
    if (!b.jumpSet) return "unset";
    if (!b.pageId && !b.blockId) return "none";
    std::string s = b.pageId ? PageOf(b.pageId) : "page none";
    if (b.blockId) {
      std::size_t item = BlockNumber(b.blockId);
      s += item == 0 ? " block ? (" + Id(b.blockId) + ")"
                     : " block " + std::to_string(item) + " (" + Id(b.blockId) + ")";
    }
    return s;
  }

  std::string ButtonTarget(std::uint32_t id) const {
    const Button* button = m_index.FindButton(id);
    return button ? Target(*button) : "unknown button";
  }

  std::string Image(std::uint32_t dataId) const {
    if (!dataId) return "data none";
    const ImageData* d = m_index.FindImage(dataId);
    if (!d) return "data " + std::to_string(dataId) + " missing";
    return "data " + std::to_string(dataId) + " " + ImageTypeName(d->type) + " " +
           std::to_string(d->width) + "x" + std::to_string(d->height);
  }

 private:
  BookIndex m_index;
};

std::string Attrs(const std::vector<Attribute>& attrs, const char* name, const char* indent) {
  std::string out;
  for (const Attribute& a : attrs) {
    out += std::string(indent) + name + " " + Hex(a.tag, 4) + " = " + Hex(a.value, 8) + "\n";
  }
  return out;
}

}  // namespace

std::string DumpText(const Book& book) {
  Resolver r(book);
  std::string out = "nbk-dump 1\n";
  out += std::string("file ") + (book.kind == FileKind::kDesign ? "design" : "book") + " version " +
         std::to_string(kVersionMajor) + "." + std::to_string(book.versionMinor) + "\n";
  if (book.meta) {
    const Metadata& m = *book.meta;
    out += "meta\n";
    out += "  title " + Quote(m.title, false) + "\n";
    out += "  title-reading " + Quote(m.titleReading, false) + "\n";
    out += "  author " + Quote(m.author, false) + "\n";
    out += "  author-reading " + Quote(m.authorReading, false) + "\n";
    out += "  book-id " + Quote(m.bookId, false) + "\n";
    out += "  next-object-id " + std::to_string(m.nextObjectId) + "\n";
    out += "  next-image-id " + std::to_string(m.nextImageId) + "\n";
  }
  if (book.design) {
    const Design& d = *book.design;
    out += "design " + Quote(d.name, false) + "\n";
    out += "  page " + std::to_string(d.pageWidth) + "x" + std::to_string(d.pageHeight) + "\n";
    out += "  margins top " + std::to_string(d.marginTop) + " right " +
           std::to_string(d.marginRight) + " bottom " + std::to_string(d.marginBottom) + " left " +
           std::to_string(d.marginLeft) + "\n";
    out += "  font-size " + std::to_string(d.fontSize) + "\n";
    out += "  text-colour " + Hex(d.textColour, 8) + "\n";
    out += "  background-colour " + Hex(d.backColour, 8) + "\n";
  }
  if (book.cover) {
    out += "cover\n";
    out += "  title " + Quote(book.cover->title, false) + "\n";
    out += "  author " + Quote(book.cover->author, false) + "\n";
  }
  out += "toc " + std::to_string(book.toc.size()) + "\n";
  for (const TocEntry& e : book.toc) {
    out += "  " + Quote(e.title, false) + " -> " + r.PageOf(e.pageId) + "\n";
  }
  out += "images " + std::to_string(book.images.size()) + "\n";
  for (const ImageData& d : book.images) {
    out += "  image " + std::to_string(d.id) + " " + ImageTypeName(d.type) + " " +
           std::to_string(d.width) + "x" + std::to_string(d.height) + " " +
           std::to_string(d.bytes.size()) + " bytes fnv1a64 " + Hex(d.hash, 16) + "\n";
  }
  out += "buttons " + std::to_string(book.buttons.size()) + "\n";
  for (const Button& b : book.buttons) {
    out += "  button " + Id(b.id) + " kind " + std::to_string(b.kind) + " -> " + r.Target(b) + "\n";
  }
  out += "pages " + std::to_string(book.pages.size()) + "\n";
  for (std::size_t p = 0; p < book.pages.size(); ++p) {
    const Page& page = book.pages[p];
    out += "page " + std::to_string(p + 1) + " " + Id(page.id) + " kind " +
           std::to_string(page.kind) + " scramble " + Hex(page.scrambleKey, 4) + "\n";
    for (std::size_t i = 0; i < page.items.size(); ++i) {
      std::string n = "  " + std::to_string(i + 1) + " ";
      const PageItem& item = page.items[i];
      if (const auto* t = std::get_if<TextBlock>(&item)) {
        out += n + "text-block " + Id(t->cardId) + " block " + Id(t->blockId) + " text " +
               Id(t->textId) + " kind " + std::to_string(t->kind) + " flags " +
               std::to_string(t->flags) + " style " +
               (t->styleSet ? std::to_string(t->style) + " size " + std::to_string(t->size)
                            : std::string("unset")) +
               "\n";
        out += Attrs(t->blockAttrs, "block-attr", "      ");
        for (const TextItem& x : t->items) {
          out += "      ";
          switch (x.op) {
            case StreamOp::kText:
              out += "text " + Quote(x.text, false);
              break;
            case StreamOp::kCommand:
              out += "command " + Hex(x.code, 4);
              if (!x.data.empty()) {
                out += " data";
                for (std::uint16_t d : x.data) out += " " + Hex(d, 4);
              }
              break;
            case StreamOp::kAttribute:
              out += "attr " + Hex(x.attr.tag, 4) + " = " + Hex(x.attr.value, 8);
              break;
            case StreamOp::kButtonStart:
              out += "button-start " + Id(x.id) + " -> " + r.ButtonTarget(x.id);
              break;
            case StreamOp::kButtonEnd:
              out += "button-end";
              break;
            case StreamOp::kImage:
              out += "image " + Id(x.id) + " mode " + std::to_string(x.mode) + " stream " +
                     Id(x.streamId) + " " + r.Image(x.dataId);
              break;
            case StreamOp::kWrite:
              out += "write";
              break;
          }
          out += "\n";
        }
      } else if (const auto* b = std::get_if<ImageBlock>(&item)) {
        out += n + "image-block " + Id(b->cardId) + " block " + Id(b->blockId) + " image " +
               Id(b->imageId) + " kind " + std::to_string(b->kind) + " stream " + Id(b->streamId) +
               " " + r.Image(b->dataId) + "\n";
        out += Attrs(b->blockAttrs, "block-attr", "      ");
      } else if (const auto* l = std::get_if<Location>(&item)) {
        out += n + "location " + std::to_string(l->x) + " " + std::to_string(l->y) + "\n";
      } else {
        const auto& rl = std::get<RuledLine>(item);
        out += n + "rule length " + std::to_string(rl.length) + " style " +
               std::to_string(rl.style) + " width " + std::to_string(rl.width) + " flags " +
               std::to_string(rl.flags) + "\n";
      }
    }
  }
  out += "end\n";
  return out;
}

namespace {

class Json {
 public:
  std::string& Out() { return m_out; }
  void Key(const char* k) {
    Comma();
    m_out += "\"" + std::string(k) + "\":";
    m_needComma = false;
  }
  void Open(char c) {
    Comma();
    m_out += c;
    m_needComma = false;
  }
  void Close(char c) {
    m_out += c;
    m_needComma = true;
  }
  void Str(std::u16string_view s) { Raw(Quote(s, true)); }
  void Text(const std::string& s) { Raw("\"" + s + "\""); }
  void Num(std::int64_t v) { Raw(std::to_string(v)); }
  void Bool(bool v) { Raw(v ? "true" : "false"); }
  void Raw(const std::string& s) {
    Comma();
    m_out += s;
    m_needComma = true;
  }
  template <typename T>
  void Field(const char* k, const T& v) {
    Key(k);
    if constexpr (std::is_same_v<T, std::u16string>) {
      Str(v);
    } else if constexpr (std::is_same_v<T, bool>) {
      Bool(v);
    } else {
      Num(static_cast<std::int64_t>(v));
    }
  }
  void Attrs(const char* k, const std::vector<Attribute>& attrs) {
    Key(k);
    Open('[');
    for (const Attribute& a : attrs) {
      Open('{');
      Field("tag", a.tag);
      Field("value", a.value);
      Close('}');
    }
    Close(']');
  }

 private:
  void Comma() {
    if (m_needComma) m_out += ',';
  }
  std::string m_out;
  bool m_needComma = false;
};

// Compact JSON to one value per line, two spaces per level, so golden files diff well.
// Empty arrays and objects stay on one line.
std::string Pretty(const std::string& compact) {
  std::string out;
  int depth = 0;
  bool inString = false;
  auto newline = [&] { out += "\n" + std::string(2 * static_cast<std::size_t>(depth), ' '); };
  for (std::size_t i = 0; i < compact.size(); ++i) {
    char c = compact[i];
    if (inString) {
      out += c;
      if (c == '\\') {
        out += compact[++i];
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        out += c;
        break;
      case '{':
      case '[':
        if (i + 1 < compact.size() && (compact[i + 1] == '}' || compact[i + 1] == ']')) {
          out += c;
          out += compact[++i];
          break;
        }
        out += c;
        ++depth;
        newline();
        break;
      case '}':
      case ']':
        --depth;
        newline();
        out += c;
        break;
      case ',':
        out += c;
        newline();
        break;
      case ':':
        out += ": ";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string DumpJson(const Book& book) {
  Resolver r(book);
  Json j;
  j.Open('{');
  j.Key("file");
  j.Text(book.kind == FileKind::kDesign ? "design" : "book");
  j.Field("versionMajor", kVersionMajor);
  j.Field("versionMinor", book.versionMinor);
  if (book.meta) {
    const Metadata& m = *book.meta;
    j.Key("meta");
    j.Open('{');
    j.Field("title", m.title);
    j.Field("titleReading", m.titleReading);
    j.Field("author", m.author);
    j.Field("authorReading", m.authorReading);
    j.Field("bookId", m.bookId);
    j.Field("nextObjectId", m.nextObjectId);
    j.Field("nextImageId", m.nextImageId);
    j.Close('}');
  }
  if (book.design) {
    const Design& d = *book.design;
    j.Key("design");
    j.Open('{');
    j.Field("name", d.name);
    j.Field("pageWidth", d.pageWidth);
    j.Field("pageHeight", d.pageHeight);
    j.Field("marginTop", d.marginTop);
    j.Field("marginRight", d.marginRight);
    j.Field("marginBottom", d.marginBottom);
    j.Field("marginLeft", d.marginLeft);
    j.Field("fontSize", d.fontSize);
    j.Field("textColour", d.textColour);
    j.Field("backgroundColour", d.backColour);
    j.Close('}');
  }
  if (book.cover) {
    j.Key("cover");
    j.Open('{');
    j.Field("title", book.cover->title);
    j.Field("author", book.cover->author);
    j.Close('}');
  }
  j.Key("toc");
  j.Open('[');
  for (const TocEntry& e : book.toc) {
    j.Open('{');
    j.Field("title", e.title);
    j.Field("pageId", e.pageId);
    j.Field("page", r.PageNumber(e.pageId));
    j.Close('}');
  }
  j.Close(']');
  j.Key("images");
  j.Open('[');
  for (const ImageData& d : book.images) {
    j.Open('{');
    j.Field("id", d.id);
    j.Key("type");
    j.Text(ImageTypeName(d.type));
    j.Field("width", d.width);
    j.Field("height", d.height);
    j.Field("bytes", d.bytes.size());
    j.Key("fnv1a64");
    j.Text(Hex(d.hash, 16));
    j.Close('}');
  }
  j.Close(']');
  j.Key("buttons");
  j.Open('[');
  for (const Button& b : book.buttons) {
    j.Open('{');
    j.Field("id", b.id);
    j.Field("kind", b.kind);
    j.Field("jumpSet", b.jumpSet);
    j.Field("pageId", b.pageId);
    j.Field("blockId", b.blockId);
    j.Field("page", r.PageNumber(b.pageId));
    j.Field("block", r.BlockNumber(b.blockId));
    j.Close('}');
  }
  j.Close(']');
  j.Key("pages");
  j.Open('[');
  for (const Page& page : book.pages) {
    j.Open('{');
    j.Field("id", page.id);
    j.Field("kind", page.kind);
    j.Field("scrambleKey", page.scrambleKey);
    j.Key("items");
    j.Open('[');
    for (const PageItem& item : page.items) {
      j.Open('{');
      if (const auto* t = std::get_if<TextBlock>(&item)) {
        j.Key("type");
        j.Text("text-block");
        j.Field("cardId", t->cardId);
        j.Field("blockId", t->blockId);
        j.Field("textId", t->textId);
        j.Field("kind", t->kind);
        j.Field("flags", t->flags);
        j.Field("styleSet", t->styleSet);
        j.Field("style", t->style);
        j.Field("size", t->size);
        j.Attrs("blockAttrs", t->blockAttrs);
        j.Key("stream");
        j.Open('[');
        for (const TextItem& x : t->items) {
          j.Open('{');
          j.Key("op");
          switch (x.op) {
            case StreamOp::kText:
              j.Text("text");
              j.Field("text", x.text);
              break;
            case StreamOp::kCommand:
              j.Text("command");
              j.Field("code", x.code);
              j.Key("data");
              j.Open('[');
              for (std::uint16_t d : x.data) j.Num(d);
              j.Close(']');
              break;
            case StreamOp::kAttribute:
              j.Text("attr");
              j.Field("tag", x.attr.tag);
              j.Field("value", x.attr.value);
              break;
            case StreamOp::kButtonStart:
              j.Text("button-start");
              j.Field("buttonId", x.id);
              break;
            case StreamOp::kButtonEnd:
              j.Text("button-end");
              break;
            case StreamOp::kImage:
              j.Text("image");
              j.Field("imageId", x.id);
              j.Field("mode", x.mode);
              j.Field("streamId", x.streamId);
              j.Field("dataId", x.dataId);
              break;
            case StreamOp::kWrite:
              j.Text("write");
              break;
          }
          j.Close('}');
        }
        j.Close(']');
      } else if (const auto* b = std::get_if<ImageBlock>(&item)) {
        j.Key("type");
        j.Text("image-block");
        j.Field("cardId", b->cardId);
        j.Field("blockId", b->blockId);
        j.Field("imageId", b->imageId);
        j.Field("kind", b->kind);
        j.Attrs("blockAttrs", b->blockAttrs);
        j.Field("streamId", b->streamId);
        j.Field("dataId", b->dataId);
      } else if (const auto* l = std::get_if<Location>(&item)) {
        j.Key("type");
        j.Text("location");
        j.Field("x", l->x);
        j.Field("y", l->y);
      } else {
        const auto& rl = std::get<RuledLine>(item);
        j.Key("type");
        j.Text("rule");
        j.Field("length", rl.length);
        j.Field("style", rl.style);
        j.Field("width", rl.width);
        j.Field("flags", rl.flags);
      }
      j.Close('}');
    }
    j.Close(']');
    j.Close('}');
  }
  j.Close(']');
  j.Close('}');
  return Pretty(j.Out()) + "\n";
}

}  // namespace nbk
