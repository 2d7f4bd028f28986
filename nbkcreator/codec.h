// Section payloads: model values to bytes and back. Decoders check every length against the
// payload and return false on anything malformed; they never read outside it.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "nbkcreator/model.h"

namespace nbk {

std::vector<std::uint8_t> EncodeMeta(const Metadata& meta);
std::vector<std::uint8_t> EncodeDesign(const Design& design);
std::vector<std::uint8_t> EncodeCover(const Cover& cover);
std::vector<std::uint8_t> EncodeToc(const std::vector<TocEntry>& toc);
// Checks a TOC payload without decoding it; count gets the number of entries.
bool CheckToc(std::span<const std::uint8_t> payload, std::uint32_t& count);
std::vector<std::uint8_t> EncodeImage(const ImageData& image);
std::vector<std::uint8_t> EncodeButtons(const std::vector<Button>& buttons);
// Text streams are scrambled with page.scrambleKey on the way out.
std::vector<std::uint8_t> EncodePage(const Page& page);

bool DecodeMeta(std::span<const std::uint8_t> payload, Metadata& meta);
bool DecodeDesign(std::span<const std::uint8_t> payload, Design& design);
bool DecodeCover(std::span<const std::uint8_t> payload, Cover& cover);
bool DecodeToc(std::span<const std::uint8_t> payload, std::vector<TocEntry>& toc);
// headerOnly: everything but the bytes (used when opening a book for append).
bool DecodeImage(std::span<const std::uint8_t> payload, ImageData& image, bool headerOnly);
bool DecodeButtons(std::span<const std::uint8_t> payload, std::vector<Button>& buttons);
// Unscrambles and decodes every text stream into items; error names what was wrong.
bool DecodePage(std::span<const std::uint8_t> payload, Page& page, std::string& error);
bool DecodeStream(std::span<const std::uint8_t> stream, std::vector<TextItem>& items,
                  std::string& error);
// Checks a stream as DecodeStream does, adding the UTF-16 units of its text to textUnits.
bool CountStreamText(std::span<const std::uint8_t> stream, std::size_t& textUnits,
                     std::string& error);
// With textUnits: checks every stream the same way but keeps neither streams nor items, and
// adds the units of their text to *textUnits.
bool DecodePage(std::span<const std::uint8_t> payload, Page& page, std::string& error,
                std::size_t* textUnits);

// A design is usable when its page is not empty and its margins and font size fit it.
bool IsSaneDesign(const Design& design);

// Builds text streams; the writer's text objects keep one each.
class StreamBuilder {
 public:
  // A block's stream starts with its whole style, five attributes: room for them and some
  // text at once spares the reallocations of growing from one byte.
  StreamBuilder() { m_w.Buffer().reserve(64); }
  void Text(std::u16string_view text);
  void Command(std::uint16_t code, const std::uint16_t* data, std::uint16_t words);
  void Attr(std::uint16_t tag, std::uint32_t value);
  void ButtonStart(std::uint32_t id);
  void ButtonEnd();
  void Image(std::uint32_t imageId, std::int32_t mode, std::uint32_t streamId,
             std::uint32_t dataId);
  void Write();
  const std::vector<std::uint8_t>& Bytes() const { return m_w.Buffer(); }
  std::vector<std::uint8_t>& Bytes() { return m_w.Buffer(); }
  std::size_t Size() const { return m_w.Size(); }

 private:
  ByteWriter m_w;
};

}  // namespace nbk
