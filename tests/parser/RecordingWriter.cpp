#include "tests/parser/RecordingWriter.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "contracts/NBKCreator.h"
#include "platform/com/com.h"
#include "platform/win32/file.h"

namespace recording {

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}
void Reset() {
  Calls().clear();
  Config() = Settings{};
}
Settings& Config() {
  static Settings settings;
  return settings;
}
std::vector<std::string> Only(const std::vector<std::string>& words) {
  std::vector<std::string> out;
  for (const std::string& call : Calls()) {
    for (const std::string& w : words) {
      if (call.find(w) != std::string::npos) {
        out.push_back(call);
        break;
      }
    }
  }
  return out;
}

}  // namespace recording

namespace {

void Record(std::string line) {
  recording::Calls().push_back(std::move(line));
}

std::string U8(const std::u16string& s) {
  return platform::com::Utf16ToUtf8(s);
}

std::string Hex(unsigned v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", width, v);
  return buf;
}

}  // namespace

namespace nbk {

class BookImpl {
 public:
  explicit BookImpl(CNBKBook* book) : book_(book) {}

  template <typename T>
  T* Make(int kind, const char* prefix) {
    T* object = new T(book_, kind, next_++);
    objects_.emplace_back(object);
    names_[object] = prefix + std::to_string(object->GetObjID());
    return object;
  }
  std::string Name(const CNBKObject* object) const {
    if (!object) return "NULL";
    auto it = names_.find(object);
    return it == names_.end() ? "?" : it->second;
  }

  CNBKBook* book_;
  unsigned long next_ = 1;
  std::vector<std::unique_ptr<CNBKObject>> objects_;
  std::map<const CNBKObject*, std::string> names_;
  std::map<const CNBKObject*, CNBKObject*> textOf_, blockOf_, imageOf_, streamOf_;
  std::map<const CNBKObject*, std::u16string> files_;
  std::map<const CNBKObject*, long> size_;
  std::map<const CNBKObject*, bool> buttonOpen_;
};

}  // namespace nbk

namespace {

nbk::BookImpl* ImplOf(CNBKBook* book) {
  return book->Impl();
}

}  // namespace

#define IMPL ImplOf(m_pBook)
#define NAME(o) IMPL->Name(o)

CNBKObject::~CNBKObject() = default;

int CNBKTocObject::AddEntry(const std::u16string& title, CNBKPageObject* page, void*) {
  Record("TOC.AddEntry(" + U8(title) + "," + NAME(page) + ")");
  return 0;
}

int CNBKBlockObject::ChangeAtr(unsigned short tag, std::uint32_t value) {
  Record(NAME(this) + ".ChangeAtr(" + Hex(tag, 4) + "," + Hex(value, 1) + ")");
  return 0;
}

CNBKBlockObject* CNBKCard::GetBlockObject() {
  return nullptr;
}

int CNBKTextObject::AddText(const std::u16string& text) {
  Record(NAME(this) + ".AddText(" + U8(text) + ")");
  IMPL->size_[this] += static_cast<long>(text.size() * 2);
  return 0;
}

int CNBKTextObject::AddCommand(unsigned short code, const unsigned short* data, int words) {
  std::string line = NAME(this) + ".AddCommand(" + Hex(code, 4);
  for (int i = 0; i < words; ++i) line += (i == 0 ? ":" : " ") + Hex(data[i], 4);
  Record(line + ")");
  IMPL->size_[this] += 4 + 2 * words;
  return 0;
}

int CNBKTextObject::ChangeAtr(unsigned short tag, std::uint32_t value) {
  Record(NAME(this) + ".ChangeAtr(" + Hex(tag, 4) + "," + Hex(value, 1) + ")");
  return 0;
}

int CNBKTextObject::Write() {
  Record(NAME(this) + ".Write()");
  return 0;
}

long CNBKTextObject::GetStreamSize() {
  return IMPL->size_[this];
}

int CNBKTextObject::StartTextButton(unsigned long id) {
  Record(NAME(this) + ".StartTextButton(BTN" + std::to_string(id) + ")");
  IMPL->buttonOpen_[this] = true;
  return 0;
}

int CNBKTextObject::EndTextButton() {
  if (!IMPL->buttonOpen_[this]) return -1;
  IMPL->buttonOpen_[this] = false;
  Record(NAME(this) + ".EndTextButton()");
  return 0;
}

CNBKBlockObject* CNBKTextObject::GetBlock() {
  return static_cast<CNBKBlockObject*>(IMPL->blockOf_[this]);
}

int CNBKTextObject::PlotImage(CNBKImageObject* image, int mode) {
  Record(NAME(this) + ".PlotImage(" + NAME(image) + "," + std::to_string(mode) + ")");
  IMPL->size_[this] += 4;
  return 0;
}

int CNBKTextBlock::SetStyle(int style, int size) {
  Record(NAME(this) + ".SetStyle(" + std::to_string(style) + "," + std::to_string(size) + ")");
  return 0;
}

CNBKTextObject* CNBKTextBlock::GetTextObject() {
  return static_cast<CNBKTextObject*>(IMPL->textOf_[this]);
}

CNBKBlockObject* CNBKTextBlock::GetBlockObject() {
  return static_cast<CNBKBlockObject*>(IMPL->blockOf_[this]);
}

CNBKImageStreamObject* CNBKImageObject::CreateImageStream(const std::u16string& file) {
  auto* stream = IMPL->Make<CNBKImageStreamObject>(0, "S");
  IMPL->files_[stream] = file;
  IMPL->streamOf_[this] = stream;
  std::u16string name = file.substr(file.find_last_of(u"\\/") + 1);
  Record(NAME(this) + ".CreateImageStream(" + U8(name) + ") -> " + NAME(stream));
  return stream;
}

int CNBKImageObject::SetImageStream(CNBKImageStreamObject* stream) {
  IMPL->streamOf_[this] = stream;
  Record(NAME(this) + ".SetImageStream(" + NAME(stream) + ")");
  return 0;
}

// An image when the cached file begins with the PNG or GIF signature.
int CNBKImageObject::canPutImage() {
  CNBKObject* stream = IMPL->streamOf_[this];
  if (!stream) return 0;
  std::ifstream in(platform::win32::ToNativePath(IMPL->files_[stream]), std::ios::binary);
  char head[4] = {};
  in.read(head, 4);
  bool image = std::string(head + 1, 3) == "PNG" || std::string(head, 3) == "GIF";
  return image ? 1 : 0;
}

CNBKImageObject* CNBKImageBlock::GetImageObject() {
  return static_cast<CNBKImageObject*>(IMPL->imageOf_[this]);
}

CNBKBlockObject* CNBKImageBlock::GetBlockObject() {
  return static_cast<CNBKBlockObject*>(IMPL->blockOf_[this]);
}

int CNBKButtonObject::SetJumpTo(CNBKObject* page, CNBKObject* block) {
  Record(NAME(this) + ".SetJumpTo(" + NAME(page) + "," + NAME(block) + ")");
  return 0;
}

CNBKTextBlock* CNBKPageObject::CreateTextBlock(int kind, int flags) {
  auto* block = IMPL->Make<CNBKTextBlock>(kind, "TB");
  auto* text = IMPL->Make<CNBKTextObject>(0, "T");
  auto* object = IMPL->Make<CNBKBlockObject>(0, "B");
  IMPL->textOf_[block] = text;
  IMPL->blockOf_[block] = object;
  IMPL->blockOf_[text] = object;
  Record(NAME(this) + ".CreateTextBlock(" + std::to_string(kind) + "," + std::to_string(flags) +
         ") -> " + NAME(block) + " " + NAME(text) + " " + NAME(object));
  return block;
}

CNBKImageBlock* CNBKPageObject::CreateImageBlock(int kind) {
  auto* block = IMPL->Make<CNBKImageBlock>(kind, "IB");
  auto* image = IMPL->Make<CNBKImageObject>(0, "I");
  auto* object = IMPL->Make<CNBKBlockObject>(0, "B");
  IMPL->imageOf_[block] = image;
  IMPL->blockOf_[block] = object;
  Record(NAME(this) + ".CreateImageBlock(" + std::to_string(kind) + ") -> " + NAME(block) + " " +
         NAME(image) + " " + NAME(object));
  return block;
}

int CNBKPageObject::AddBlock(CNBKBlockObject* block) {
  Record(NAME(this) + ".AddBlock(" + NAME(block) + ")");
  return 0;
}

int CNBKPageObject::SetLocation(int x, int y) {
  Record(NAME(this) + ".SetLocation(" + std::to_string(x) + "," + std::to_string(y) + ")");
  return 0;
}

int CNBKPageObject::AddRuledLine(int length, int style, int width, int flags) {
  Record(NAME(this) + ".AddRuledLine(" + std::to_string(length) + "," + std::to_string(style) +
         "," + std::to_string(width) + "," + std::to_string(flags) + ")");
  return 0;
}

#undef IMPL
#undef NAME

CNBKBook::CNBKBook() : m_pImpl(std::make_unique<nbk::BookImpl>(this)) {}
CNBKBook::~CNBKBook() {
  Record("~CNBKBook");
}

int CNBKBook::SetScrambleKey(unsigned short key) {
  Record("SetScrambleKey(" + Hex(key, 4) + ")");
  return 0;
}
int CNBKBook::SetNBKFileName(const std::u16string& path) {
  Record("SetNBKFileName(" + U8(path) + ")");
  return 0;
}
int CNBKBook::SetBookID(std::u16string id) {
  Record("SetBookID(" + U8(id) + ")");
  return 0;
}
int CNBKBook::Open(const char16_t* path, int mode) {
  Record("Open(" + (path ? U8(path) : std::string("NULL")) + "," + std::to_string(mode) + ")");
  return recording::Config().openResult;
}
int CNBKBook::SetTitle(std::u16string s) {
  Record("SetTitle(" + U8(s) + ")");
  return 0;
}
int CNBKBook::SetTitle_reading(std::u16string s) {
  Record("SetTitle_reading(" + U8(s) + ")");
  return 0;
}
int CNBKBook::SetAuthor(std::u16string s) {
  Record("SetAuthor(" + U8(s) + ")");
  return 0;
}
int CNBKBook::SetAuthor_reading(std::u16string s) {
  Record("SetAuthor_reading(" + U8(s) + ")");
  return 0;
}
int CNBKBook::SetDesignFile(const std::u16string& path) {
  Record("SetDesignFile(" + U8(path) + ")");
  return recording::Config().designResult;
}
CNBKTocObject* CNBKBook::CreateToc() {
  Record("CreateToc()");
  return m_pImpl->Make<CNBKTocObject>(0, "TOC");
}
int CNBKBook::CreateCoverPage(const std::u16string& title, const std::u16string& author) {
  Record("CreateCoverPage(" + U8(title) + "," + U8(author) + ")");
  return 0;
}
CNBKPageObject* CNBKBook::CreatePage(int kind) {
  auto* page = m_pImpl->Make<CNBKPageObject>(kind, "P");
  Record("CreatePage(" + std::to_string(kind) + ") -> " + m_pImpl->Name(page));
  return page;
}
int CNBKBook::AddPage(CNBKPageObject* page) {
  Record("AddPage(" + m_pImpl->Name(page) + ")");
  return 0;
}
CNBKObject* CNBKBook::CreateObject(int kind) {
  auto* button = m_pImpl->Make<CNBKButtonObject>(kind, "BTN");
  Record("CreateObject(" + std::to_string(kind) + ") -> " + m_pImpl->Name(button));
  return button;
}
int CNBKBook::OutputAll() {
  Record("OutputAll()");
  return recording::Config().outputResult;
}
int CNBKBook::SetWaitNotice(std::function<void(const std::u16string&)> notice) {
  // Not recorded: a test that wants to hear of a wait calls it through Config().
  recording::Config().waitNotice = std::move(notice);
  return 0;
}
int CNBKBook::Close() {
  Record("Close()");
  return 0;
}
