// The inside of CNBKBook and of the objects it creates. Each public writer class has one
// internal subclass here that carries its data; the book creates only these, so the public
// methods may cast `this` down to them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "contracts/NBKCreator.h"
#include "nbkcreator/book_file.h"
#include "nbkcreator/codec.h"
#include "nbkcreator/model.h"

namespace nbk {

class BlockImpl;
class PageImpl;
class StreamImpl;

// Kinds of the objects the caller does not give a kind for.
inline constexpr int kKindToc = 1;
inline constexpr int kKindBlock = 2;
inline constexpr int kKindText = 3;
inline constexpr int kKindImage = 4;
inline constexpr int kKindImageStream = 5;

class TocImpl final : public CNBKTocObject {
 public:
  TocImpl(CNBKBook* book, unsigned long id) : CNBKTocObject(book, kKindToc, id) {}
};

class BlockImpl final : public CNBKBlockObject {
 public:
  BlockImpl(CNBKBook* book, unsigned long id, PageImpl* page, CNBKCard* card)
      : CNBKBlockObject(book, kKindBlock, id), m_page(page), m_card(card) {}
  PageImpl* m_page;
  CNBKCard* m_card;
  std::vector<Attribute> m_attrs;
  bool m_placed = false;
};

class TextImpl final : public CNBKTextObject {
 public:
  TextImpl(CNBKBook* book, unsigned long id, BlockImpl* block)
      : CNBKTextObject(book, kKindText, id), m_block(block) {}
  BlockImpl* m_block;
  StreamBuilder m_stream;
  std::size_t m_sizeAtMark = 0;   // stream size after the last Write mark
  std::size_t m_sizeAtWrite = 0;  // what GetStreamSize reports
  bool m_contentAtWrite = false;  // text, a command or an image before the last Write
  bool m_content = false;         // the same, up to now
  bool m_buttonOpen = false;
  std::vector<std::uint32_t> m_imageData;  // image data shown inline
};

class TextBlockImpl final : public CNBKTextBlock {
 public:
  TextBlockImpl(CNBKBook* book, unsigned long id, int kind, int flags)
      : CNBKTextBlock(book, kind, id), m_flags(flags) {}
  int m_flags;
  bool m_styleSet = false;
  int m_style = 0;
  int m_size = 0;
  BlockImpl* m_block = nullptr;
  TextImpl* m_text = nullptr;
};

class ImageImpl final : public CNBKImageObject {
 public:
  ImageImpl(CNBKBook* book, unsigned long id) : CNBKImageObject(book, kKindImage, id) {}
  StreamImpl* m_stream = nullptr;
};

class ImageBlockImpl final : public CNBKImageBlock {
 public:
  ImageBlockImpl(CNBKBook* book, unsigned long id, int kind) : CNBKImageBlock(book, kind, id) {}
  BlockImpl* m_block = nullptr;
  ImageImpl* m_image = nullptr;
};

class StreamImpl final : public CNBKImageStreamObject {
 public:
  StreamImpl(CNBKBook* book, unsigned long id, std::uint32_t dataId)
      : CNBKImageStreamObject(book, kKindImageStream, id), m_dataId(dataId) {}
  std::uint32_t m_dataId;
};

class ButtonImpl final : public CNBKButtonObject {
 public:
  ButtonImpl(CNBKBook* book, unsigned long id, int kind) : CNBKButtonObject(book, kind, id) {}
  bool m_jumpSet = false;
  std::uint32_t m_pageId = 0;
  std::uint32_t m_blockId = 0;
};

class PageImpl final : public CNBKPageObject {
 public:
  PageImpl(CNBKBook* book, unsigned long id, int kind) : CNBKPageObject(book, kind, id) {}
  std::vector<std::variant<BlockImpl*, Location, RuledLine>> m_items;
  bool m_added = false;
};

// What the book knows of an image already stored in the file it appends to.
struct StoredImage {
  ImageData header;           // without bytes
  std::uint64_t bytesOffset;  // of the image bytes in the old file
  std::uint64_t size;         // of the image bytes
};

class BookImpl {
 public:
  explicit BookImpl(CNBKBook* owner) : m_owner(owner) {}
  ~BookImpl();

  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto object = std::make_unique<T>(m_owner, m_nextId++, std::forward<Args>(args)...);
    T* raw = object.get();
    const auto id = static_cast<std::uint32_t>(raw->GetObjID());
    if (!m_objects.empty() && id <= m_lastId) m_idsAscending = false;
    m_lastId = id;
    m_objects.push_back(std::move(object));
    return raw;
  }
  CNBKObject* Find(unsigned long id) const;
  bool Owns(const CNBKObject* object) const { return object && object->m_pBook == m_owner; }
  // The id of the image data that holds bytes, adding it when the book has no such data yet.
  std::uint32_t InternImage(std::vector<std::uint8_t> bytes);
  const ImageData* FindImage(std::uint32_t id) const;

  int Open(const char16_t* path, int mode);
  int OutputAll();
  int Close();

  CNBKBook* m_owner;
  std::uint32_t m_nextId = 1;
  // In the order made. Ids rise one by one, so Find bisects; only a book whose stored next id
  // wrapped around breaks the order, and is then searched from the newest back.
  std::vector<std::unique_ptr<CNBKObject>> m_objects;
  std::uint32_t m_lastId = 0;
  bool m_idsAscending = true;

  std::u16string m_fileName;
  std::uint16_t m_scrambleKey = 0;
  // Set through the contract; applied over what an appended book already had.
  std::optional<std::u16string> m_title, m_titleReading, m_author, m_authorReading, m_bookId;
  std::optional<Design> m_design;
  std::optional<Cover> m_cover;
  TocImpl* m_toc = nullptr;
  std::vector<TocEntry> m_newToc;
  std::vector<PageImpl*> m_pages;
  std::vector<ButtonImpl*> m_buttons;
  std::vector<ImageData> m_newImages;
  std::uint32_t m_nextImageId = 1;

  // The open book file.
  bool m_open = false;
  std::string m_path;
  BookLock m_lock;
  std::function<void(const std::u16string&)> m_waitNotice;
  int m_oldFd = -1;
  unsigned m_oldMode = 0644;
  Metadata m_oldMeta;
  std::optional<Design> m_oldDesign;
  std::optional<Cover> m_oldCover;
  std::uint32_t m_oldTocCount = 0;
  // Where the old TOC's entries (its payload after the count) are in the old file: they are
  // copied into the new TOC as bytes.
  std::uint64_t m_oldTocAt = 0;
  std::uint64_t m_oldTocSize = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> m_oldBody;  // offset, size
  std::vector<StoredImage> m_oldImages;

 private:
  int LoadExisting();
  bool SameAsStored(const StoredImage& stored, const std::vector<std::uint8_t>& bytes) const;
};

}  // namespace nbk
