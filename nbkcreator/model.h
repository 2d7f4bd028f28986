// The content of an NBK file as plain values: what the reader gives back and what the writer's
// sections are encoded from. Object ids are the ids the writer gave its objects (0 = none).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "nbkcreator/format.h"

namespace nbk {

struct Metadata {
  std::u16string title;
  std::u16string titleReading;
  std::u16string author;
  std::u16string authorReading;
  std::u16string bookId;
  // The first id the next writing session may give an object, so ids stay unique in the book.
  std::uint32_t nextObjectId = 1;
  // The same for image data.
  std::uint32_t nextImageId = 1;
};

struct Design {
  std::uint32_t pageWidth = 0;
  std::uint32_t pageHeight = 0;
  std::uint32_t marginTop = 0;
  std::uint32_t marginRight = 0;
  std::uint32_t marginBottom = 0;
  std::uint32_t marginLeft = 0;
  std::uint32_t fontSize = 0;
  std::uint32_t textColour = 0;
  std::uint32_t backColour = 0;
  std::u16string name;
};

struct Cover {
  std::u16string title;
  std::u16string author;
};

struct TocEntry {
  std::uint32_t pageId = 0;
  std::u16string title;
};

struct Button {
  std::uint32_t id = 0;
  std::int32_t kind = 0;
  bool jumpSet = false;  // SetJumpTo was called (possibly with NULL, NULL)
  std::uint32_t pageId = 0;
  std::uint32_t blockId = 0;
};

struct ImageData {
  std::uint32_t id = 0;
  ImageType type = ImageType::kUnknown;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint64_t hash = 0;
  std::vector<std::uint8_t> bytes;
};

struct Attribute {
  std::uint16_t tag = 0;
  std::uint32_t value = 0;
};

struct TextItem {
  StreamOp op = StreamOp::kText;
  std::u16string text;              // kText
  std::uint16_t code = 0;           // kCommand
  std::vector<std::uint16_t> data;  // kCommand
  Attribute attr;                   // kAttribute
  std::uint32_t id = 0;             // kButtonStart: button; kImage: image object
  std::int32_t mode = 0;            // kImage
  std::uint32_t streamId = 0;       // kImage
  std::uint32_t dataId = 0;         // kImage
};

struct TextBlock {
  std::uint32_t cardId = 0;
  std::uint32_t blockId = 0;
  std::uint32_t textId = 0;
  std::int32_t kind = 0;
  std::int32_t flags = 0;
  bool styleSet = false;
  std::int32_t style = 0;
  std::int32_t size = 0;
  std::vector<Attribute> blockAttrs;
  std::vector<std::uint8_t> stream;  // the text stream, not scrambled
  std::vector<TextItem> items;       // the stream decoded (reader only)
};

struct ImageBlock {
  std::uint32_t cardId = 0;
  std::uint32_t blockId = 0;
  std::uint32_t imageId = 0;
  std::int32_t kind = 0;
  std::vector<Attribute> blockAttrs;
  std::uint32_t streamId = 0;
  std::uint32_t dataId = 0;
};

struct Location {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct RuledLine {
  std::int32_t length = 0;
  std::int32_t style = 0;
  std::int32_t width = 0;
  std::int32_t flags = 0;
};

using PageItem = std::variant<TextBlock, ImageBlock, Location, RuledLine>;

struct Page {
  std::uint32_t id = 0;
  std::int32_t kind = 0;
  std::uint16_t scrambleKey = 0;  // 0: text streams stored as they are
  std::vector<PageItem> items;
};

struct Book {
  FileKind kind = FileKind::kBook;
  std::uint16_t versionMinor = 0;
  std::optional<Metadata> meta;
  std::optional<Design> design;
  std::optional<Cover> cover;
  std::vector<TocEntry> toc;
  std::vector<Button> buttons;
  std::vector<ImageData> images;
  std::vector<Page> pages;
};

}  // namespace nbk
