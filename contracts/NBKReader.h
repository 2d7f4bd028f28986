// Reading NBK books, for hosts such as nbclip: the book as plain values, everything the writer
// was told in the order it was told, and an index that finds pages, blocks, buttons and image
// data by their ids. docs/nbk-format.md describes each value; what a number means (a tag, a
// command code, a kind) is the caller's business, as it is for the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#ifndef NBK_API
#if defined(NBKCREATOR_BUILD)
#define NBK_API __attribute__((visibility("default")))
#else
#define NBK_API
#endif
#endif

namespace nbk {

// Every NBK file begins with these eight bytes; its kind (FileKind, little-endian) is at
// offset 12.
inline constexpr std::uint8_t kMagic[8] = {0x89, 'N', 'B', 'K', '\r', '\n', 0x1A, '\n'};
inline constexpr std::size_t kKindOffset = 12;

enum class FileKind : std::uint16_t { kBook = 1, kDesign = 2 };

// Operations of a text stream, one byte each, followed by their operands.
enum class StreamOp : std::uint8_t {
  kText = 1,         // u32 n, n UTF-16 units
  kCommand = 2,      // u16 code, u16 words, words x u16
  kAttribute = 3,    // u16 tag, u32 value
  kButtonStart = 4,  // u32 button id
  kButtonEnd = 5,    // nothing
  kImage = 6,        // u32 image object id, i32 mode, u32 stream id, u32 image data id
  kWrite = 7,        // nothing: the writer was told Write()
};

enum class ImageType : std::uint32_t { kUnknown = 0, kPng = 1, kJpeg = 2, kGif = 3, kBmp = 4 };
// "png", "jpeg", "gif", "bmp" or "unknown".
NBK_API const char* ImageTypeName(ImageType type);

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

// Reads and checks a whole book (or design) file. nullopt, with error saying what is wrong and
// where, for a missing, unreadable or damaged file.
NBK_API std::optional<Book> ReadBook(const std::string& path, std::string& error);
// The same reading and checking, every text stream included, but for a caller that wants only
// how much text there is: text blocks come back without their streams and items, and
// textUnits gets each page's count of UTF-16 text units, in page order.
NBK_API std::optional<Book> ReadBookOutline(const std::string& path,
                                            std::vector<std::size_t>& textUnits,
                                            std::string& error);

// The stable text forms behind `nbclip dump`: line-oriented text and JSON.
NBK_API std::string DumpText(const Book& book);
NBK_API std::string DumpJson(const Book& book);

// Where a page or block sits in a book: its page number and its item number on that page,
// both from 1. For a page the item is 0.
struct Place {
  std::size_t page = 0;
  std::size_t item = 0;
};

// Finds the objects of one book by id. Holds pointers into the book, which must outlive it.
// An id that occurs twice (only in a damaged book) finds its first occurrence.
class NBK_API BookIndex {
 public:
  explicit BookIndex(const Book& book);

  // Page number of a page id; 0 when the book has no such page.
  std::size_t PageNumber(std::uint32_t pageId) const;
  // Place of a text or image block by its block id; nullopt when no page holds it.
  std::optional<Place> BlockPlace(std::uint32_t blockId) const;
  const Button* FindButton(std::uint32_t buttonId) const;
  const ImageData* FindImage(std::uint32_t dataId) const;

 private:
  std::map<std::uint32_t, std::size_t> m_pages;
  std::map<std::uint32_t, Place> m_blocks;
  std::map<std::uint32_t, const Button*> m_buttons;
  std::map<std::uint32_t, const ImageData*> m_images;
};

}  // namespace nbk
