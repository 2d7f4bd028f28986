#include "nbkcreator/codec.h"

namespace nbk {

namespace {

void PutAttrs(ByteWriter& w, const std::vector<Attribute>& attrs) {
  w.U32(static_cast<std::uint32_t>(attrs.size()));
  for (const Attribute& a : attrs) {
    w.U16(a.tag);
    w.U32(a.value);
  }
}

bool GetAttrs(ByteReader& r, std::vector<Attribute>& attrs) {
  std::uint32_t n = 0;
  if (!r.U32(n) || n > r.Remaining() / 6) return false;
  attrs.resize(n);
  for (Attribute& a : attrs) {
    r.U16(a.tag);
    r.U32(a.value);
  }
  return r.Ok();
}

}  // namespace

std::vector<std::uint8_t> EncodeMeta(const Metadata& meta) {
  ByteWriter w;
  w.U32(meta.nextObjectId);
  w.U32(meta.nextImageId);
  w.Str(meta.title);
  w.Str(meta.titleReading);
  w.Str(meta.author);
  w.Str(meta.authorReading);
  w.Str(meta.bookId);
  return std::move(w.Buffer());
}

bool DecodeMeta(std::span<const std::uint8_t> payload, Metadata& meta) {
  ByteReader r(payload);
  r.U32(meta.nextObjectId);
  r.U32(meta.nextImageId);
  r.Str(meta.title);
  r.Str(meta.titleReading);
  r.Str(meta.author);
  r.Str(meta.authorReading);
  r.Str(meta.bookId);
  return r.Ok() && r.AtEnd();
}

std::vector<std::uint8_t> EncodeDesign(const Design& d) {
  ByteWriter w;
  for (std::uint32_t v : {d.pageWidth, d.pageHeight, d.marginTop, d.marginRight, d.marginBottom,
                          d.marginLeft, d.fontSize, d.textColour, d.backColour}) {
    w.U32(v);
  }
  w.Str(d.name);
  return std::move(w.Buffer());
}

bool DecodeDesign(std::span<const std::uint8_t> payload, Design& d) {
  ByteReader r(payload);
  for (std::uint32_t* v :
       {&d.pageWidth, &d.pageHeight, &d.marginTop, &d.marginRight, &d.marginBottom, &d.marginLeft,
        &d.fontSize, &d.textColour, &d.backColour}) {
    r.U32(*v);
  }
  r.Str(d.name);
  return r.Ok() && r.AtEnd();
}

bool IsSaneDesign(const Design& d) {
  constexpr std::uint32_t kMaxSide = 100000;
  if (d.pageWidth == 0 || d.pageHeight == 0 || d.pageWidth > kMaxSide || d.pageHeight > kMaxSide)
    return false;
  if (std::uint64_t{d.marginLeft} + d.marginRight >= d.pageWidth) return false;
  if (std::uint64_t{d.marginTop} + d.marginBottom >= d.pageHeight) return false;
  return d.fontSize > 0 && d.fontSize <= 10000;
}

std::vector<std::uint8_t> EncodeCover(const Cover& cover) {
  ByteWriter w;
  w.Str(cover.title);
  w.Str(cover.author);
  return std::move(w.Buffer());
}

bool DecodeCover(std::span<const std::uint8_t> payload, Cover& cover) {
  ByteReader r(payload);
  r.Str(cover.title);
  r.Str(cover.author);
  return r.Ok() && r.AtEnd();
}

std::vector<std::uint8_t> EncodeToc(const std::vector<TocEntry>& toc) {
  ByteWriter w;
  w.U32(static_cast<std::uint32_t>(toc.size()));
  for (const TocEntry& e : toc) {
    w.U32(e.pageId);
    w.Str(e.title);
  }
  return std::move(w.Buffer());
}

bool CheckToc(std::span<const std::uint8_t> payload, std::uint32_t& count) {
  ByteReader r(payload);
  if (!r.U32(count) || count > r.Remaining() / 8) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t pageId = 0, units = 0;
    std::span<const std::uint8_t> skipped;
    r.U32(pageId);
    if (!r.U32(units) || !r.Bytes(std::size_t{units} * 2, skipped)) return false;
  }
  return r.AtEnd();
}

bool DecodeToc(std::span<const std::uint8_t> payload, std::vector<TocEntry>& toc) {
  ByteReader r(payload);
  std::uint32_t n = 0;
  if (!r.U32(n) || n > r.Remaining() / 8) return false;
  toc.resize(n);
  for (TocEntry& e : toc) {
    r.U32(e.pageId);
    r.Str(e.title);
  }
  return r.Ok() && r.AtEnd();
}

std::vector<std::uint8_t> EncodeImage(const ImageData& image) {
  ByteWriter w;
  w.U32(image.id);
  w.U32(static_cast<std::uint32_t>(image.type));
  w.U32(image.width);
  w.U32(image.height);
  w.U64(image.hash);
  w.U32(static_cast<std::uint32_t>(image.bytes.size()));
  w.Bytes(image.bytes);
  return std::move(w.Buffer());
}

bool DecodeImage(std::span<const std::uint8_t> payload, ImageData& image, bool headerOnly) {
  ByteReader r(payload);
  std::uint32_t type = 0, n = 0;
  r.U32(image.id);
  r.U32(type);
  r.U32(image.width);
  r.U32(image.height);
  r.U64(image.hash);
  r.U32(n);
  std::span<const std::uint8_t> bytes;
  if (!r.Bytes(n, bytes) || !r.AtEnd() || type > static_cast<std::uint32_t>(ImageType::kBmp))
    return false;
  image.type = static_cast<ImageType>(type);
  if (!headerOnly) image.bytes.assign(bytes.begin(), bytes.end());
  return true;
}

std::vector<std::uint8_t> EncodeButtons(const std::vector<Button>& buttons) {
  ByteWriter w;
  w.U32(static_cast<std::uint32_t>(buttons.size()));
  for (const Button& b : buttons) {
    w.U32(b.id);
    w.I32(b.kind);
    w.U8(b.jumpSet ? 1 : 0);
    w.U32(b.pageId);
    w.U32(b.blockId);
  }
  return std::move(w.Buffer());
}

bool DecodeButtons(std::span<const std::uint8_t> payload, std::vector<Button>& buttons) {
  ByteReader r(payload);
  std::uint32_t n = 0;
  if (!r.U32(n) || n > r.Remaining() / 17) return false;
  buttons.resize(n);
  for (Button& b : buttons) {
    std::uint8_t set = 0;
    r.U32(b.id);
    r.I32(b.kind);
    r.U8(set);
    r.U32(b.pageId);
    r.U32(b.blockId);
    if (set > 1) return false;
    b.jumpSet = set == 1;
  }
  return r.Ok() && r.AtEnd();
}

std::vector<std::uint8_t> EncodePage(const Page& page) {
  ByteWriter w;
  w.U32(page.id);
  w.I32(page.kind);
  w.U16(page.scrambleKey);
  w.U16(0);
  w.U32(static_cast<std::uint32_t>(page.items.size()));
  for (const PageItem& item : page.items) {
    if (const auto* t = std::get_if<TextBlock>(&item)) {
      w.U8(static_cast<std::uint8_t>(PageItemType::kTextBlock));
      w.U32(t->cardId);
      w.U32(t->blockId);
      w.U32(t->textId);
      w.I32(t->kind);
      w.I32(t->flags);
      w.U8(t->styleSet ? 1 : 0);
      w.I32(t->style);
      w.I32(t->size);
      PutAttrs(w, t->blockAttrs);
      w.U32(static_cast<std::uint32_t>(t->stream.size()));
      std::size_t at = w.Size();
      w.Bytes(t->stream);
      if (page.scrambleKey != 0)
        Scramble(w.Buffer().data() + at, t->stream.size(), page.scrambleKey);
    } else if (const auto* b = std::get_if<ImageBlock>(&item)) {
      w.U8(static_cast<std::uint8_t>(PageItemType::kImageBlock));
      w.U32(b->cardId);
      w.U32(b->blockId);
      w.U32(b->imageId);
      w.I32(b->kind);
      PutAttrs(w, b->blockAttrs);
      w.U32(b->streamId);
      w.U32(b->dataId);
    } else if (const auto* l = std::get_if<Location>(&item)) {
      w.U8(static_cast<std::uint8_t>(PageItemType::kLocation));
      w.I32(l->x);
      w.I32(l->y);
    } else {
      const auto& rl = std::get<RuledLine>(item);
      w.U8(static_cast<std::uint8_t>(PageItemType::kRuledLine));
      w.I32(rl.length);
      w.I32(rl.style);
      w.I32(rl.width);
      w.I32(rl.flags);
    }
  }
  return std::move(w.Buffer());
}

bool DecodePage(std::span<const std::uint8_t> payload, Page& page, std::string& error) {
  return DecodePage(payload, page, error, nullptr);
}

bool DecodePage(std::span<const std::uint8_t> payload, Page& page, std::string& error,
                std::size_t* textUnits) {
  ByteReader r(payload);
  std::vector<std::uint8_t> unscrambled;  // reused by every block when counting
  std::uint16_t reserved = 0;
  std::uint32_t n = 0;
  r.U32(page.id);
  r.I32(page.kind);
  r.U16(page.scrambleKey);
  r.U16(reserved);
  // The smallest item (a location) takes 9 bytes.
  if (!r.U32(n) || n > r.Remaining() / 9) {
    error = "page header is malformed";
    return false;
  }
  page.items.clear();
  page.items.reserve(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint8_t type = 0;
    r.U8(type);
    switch (static_cast<PageItemType>(type)) {
      case PageItemType::kTextBlock: {
        TextBlock t;
        std::uint8_t styleSet = 0;
        std::uint32_t size = 0;
        r.U32(t.cardId);
        r.U32(t.blockId);
        r.U32(t.textId);
        r.I32(t.kind);
        r.I32(t.flags);
        r.U8(styleSet);
        r.I32(t.style);
        r.I32(t.size);
        t.styleSet = styleSet == 1;
        std::span<const std::uint8_t> stream;
        if (styleSet > 1 || !GetAttrs(r, t.blockAttrs) || !r.U32(size) || !r.Bytes(size, stream)) {
          error = "text block " + std::to_string(i + 1) + " is malformed";
          return false;
        }
        std::vector<std::uint8_t>& bytes = textUnits ? unscrambled : t.stream;
        bytes.assign(stream.begin(), stream.end());
        if (page.scrambleKey != 0) Scramble(bytes.data(), bytes.size(), page.scrambleKey);
        std::string streamError;
        bool decoded = textUnits ? CountStreamText(bytes, *textUnits, streamError)
                                 : DecodeStream(t.stream, t.items, streamError);
        if (!decoded) {
          error = "text block " + std::to_string(i + 1) + ": " + streamError;
          return false;
        }
        page.items.emplace_back(std::move(t));
        break;
      }
      case PageItemType::kImageBlock: {
        ImageBlock b;
        r.U32(b.cardId);
        r.U32(b.blockId);
        r.U32(b.imageId);
        r.I32(b.kind);
        if (!GetAttrs(r, b.blockAttrs)) {
          error = "image block " + std::to_string(i + 1) + " is malformed";
          return false;
        }
        r.U32(b.streamId);
        r.U32(b.dataId);
        page.items.emplace_back(std::move(b));
        break;
      }
      case PageItemType::kLocation: {
        Location l;
        r.I32(l.x);
        r.I32(l.y);
        page.items.emplace_back(l);
        break;
      }
      case PageItemType::kRuledLine: {
        RuledLine rl;
        r.I32(rl.length);
        r.I32(rl.style);
        r.I32(rl.width);
        r.I32(rl.flags);
        page.items.emplace_back(rl);
        break;
      }
      default:
        error = "page item " + std::to_string(i + 1) + " has unknown type " + std::to_string(type);
        return false;
    }
    if (!r.Ok()) {
      error = "page item " + std::to_string(i + 1) + " is cut short";
      return false;
    }
  }
  if (!r.AtEnd()) {
    error = "page has bytes after its last item";
    return false;
  }
  return true;
}

namespace {

// One walk over a stream's operations for both readers, so that counting checks exactly what
// decoding does. keep: each item is decoded into items; else only its text is counted.
template <bool keep>
bool WalkStream(std::span<const std::uint8_t> stream, std::vector<TextItem>* items,
                std::size_t* textUnits, std::string& error) {
  ByteReader r(stream);
  if constexpr (keep) items->clear();
  TextItem item;
  while (!r.AtEnd()) {
    std::size_t at = r.Position();
    std::uint8_t op = 0;
    r.U8(op);
    if constexpr (keep) item = TextItem();
    item.op = static_cast<StreamOp>(op);
    switch (item.op) {
      case StreamOp::kText:
        if constexpr (keep) {
          r.Str(item.text);
        } else {
          // As Str reads it, without making the string.
          std::uint32_t n = 0;
          std::span<const std::uint8_t> units;
          if (r.U32(n) && n <= r.Remaining() / 2 && r.Bytes(std::size_t{n} * 2, units)) {
            *textUnits += n;
          } else {
            error = "operation at stream byte " + std::to_string(at) + " is cut short";
            return false;
          }
        }
        break;
      case StreamOp::kCommand: {
        std::uint16_t words = 0;
        r.U16(item.code);
        r.U16(words);
        if (words > r.Remaining() / 2) {
          error = "command at stream byte " + std::to_string(at) + " is cut short";
          return false;
        }
        if constexpr (keep) {
          item.data.resize(words);
          for (std::uint16_t& d : item.data) r.U16(d);
        } else {
          std::span<const std::uint8_t> data;
          r.Bytes(std::size_t{words} * 2, data);
        }
        break;
      }
      case StreamOp::kAttribute:
        r.U16(item.attr.tag);
        r.U32(item.attr.value);
        break;
      case StreamOp::kButtonStart:
        r.U32(item.id);
        break;
      case StreamOp::kButtonEnd:
      case StreamOp::kWrite:
        break;
      case StreamOp::kImage:
        r.U32(item.id);
        r.I32(item.mode);
        r.U32(item.streamId);
        r.U32(item.dataId);
        break;
      default:
        error = "unknown operation " + std::to_string(op) + " at stream byte " + std::to_string(at);
        return false;
    }
    if (!r.Ok()) {
      error = "operation at stream byte " + std::to_string(at) + " is cut short";
      return false;
    }
    if constexpr (keep) items->push_back(std::move(item));
  }
  return true;
}

}  // namespace

bool DecodeStream(std::span<const std::uint8_t> stream, std::vector<TextItem>& items,
                  std::string& error) {
  return WalkStream<true>(stream, &items, nullptr, error);
}

bool CountStreamText(std::span<const std::uint8_t> stream, std::size_t& textUnits,
                     std::string& error) {
  return WalkStream<false>(stream, nullptr, &textUnits, error);
}

void StreamBuilder::Text(std::u16string_view text) {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kText));
  m_w.Str(text);
}

void StreamBuilder::Command(std::uint16_t code, const std::uint16_t* data, std::uint16_t words) {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kCommand));
  m_w.U16(code);
  m_w.U16(words);
  for (std::uint16_t i = 0; i < words; ++i) m_w.U16(data[i]);
}

void StreamBuilder::Attr(std::uint16_t tag, std::uint32_t value) {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kAttribute));
  m_w.U16(tag);
  m_w.U32(value);
}

void StreamBuilder::ButtonStart(std::uint32_t id) {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kButtonStart));
  m_w.U32(id);
}

void StreamBuilder::ButtonEnd() {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kButtonEnd));
}

void StreamBuilder::Image(std::uint32_t imageId, std::int32_t mode, std::uint32_t streamId,
                          std::uint32_t dataId) {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kImage));
  m_w.U32(imageId);
  m_w.I32(mode);
  m_w.U32(streamId);
  m_w.U32(dataId);
}

void StreamBuilder::Write() {
  m_w.U8(static_cast<std::uint8_t>(StreamOp::kWrite));
}

}  // namespace nbk
