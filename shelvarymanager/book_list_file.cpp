#include "shelvarymanager/book_list_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pugixml.hpp>
#include <thread>

#include "platform/com/com.h"

namespace shelvary {
namespace {

constexpr const char* kRoot = "ShelvaryList";
constexpr const char* kBook = "Book";
constexpr int kVersion = 1;

// The attribute of each field, in the order of CShelvaryInfo.
struct Field {
  const char* name;
  std::u16string CShelvaryInfo::*member;
};
constexpr Field kFields[] = {
    {"title", &CShelvaryInfo::m_strTitle},
    {"titleRead", &CShelvaryInfo::m_strTitleRead},
    {"author", &CShelvaryInfo::m_strAuthor},
    {"authorRead", &CShelvaryInfo::m_strAuthorRead},
    {"bookID", &CShelvaryInfo::m_strBookID},
    {"nbkFile", &CShelvaryInfo::m_strNBKFileName},
    {"designFile", &CShelvaryInfo::m_strDesignFileName},
};

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
  std::string out;
};

bool AllWhiteSpace(std::string_view bytes) {
  for (char c : bytes) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

using platform::files::FolderOf;
using platform::files::SyncFolderOf;

}  // namespace

std::string SerializeBookList(const BookList& books) {
  pugi::xml_document doc;
  auto decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  auto root = doc.append_child(kRoot);
  root.append_attribute("version") = kVersion;
  for (const CShelvaryInfo& book : books) {
    auto node = root.append_child(kBook);
    for (const Field& f : kFields) {
      node.append_attribute(f.name) = platform::com::Utf16ToUtf8(book.*f.member).c_str();
    }
  }
  StringWriter writer;
  // Control characters are written as character references, so they come back as they went.
  doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
  return std::move(writer.out);
}

ParseResult ParseBookList(std::string_view bytes) {
  ParseResult result;
  if (AllWhiteSpace(bytes)) return result;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) {
    result.status = ParseStatus::kDamaged;
    result.error =
        std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
    return result;
  }
  pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != kRoot) {
    result.status = ParseStatus::kDamaged;
    result.error =
        "the document is not a book list (root element <" + std::string(root.name()) + ">)";
    return result;
  }
  result.status = ParseStatus::kOk;
  for (pugi::xml_node node : root.children(kBook)) {
    CShelvaryInfo& book = result.books.emplace_back();
    for (const Field& f : kFields) {
      book.*f.member = platform::com::Utf8ToUtf16(node.attribute(f.name).value());
    }
  }
  return result;
}

LoadResult LoadBookListFile(const std::string& path) {
  LoadResult result;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.status = errno == ENOENT ? LoadStatus::kMissing : LoadStatus::kIoError;
    result.error = std::strerror(errno);
    return result;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.status = LoadStatus::kIoError;
      result.error = std::strerror(errno);
      ::close(fd);
      return result;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  ParseResult parsed = ParseBookList(bytes);
  switch (parsed.status) {
    case ParseStatus::kOk:
      result.status = LoadStatus::kOk;
      break;
    case ParseStatus::kEmpty:
      result.status = LoadStatus::kEmpty;
      break;
    case ParseStatus::kDamaged:
      result.status = LoadStatus::kDamaged;
      break;
  }
  result.books = std::move(parsed.books);
  result.error = std::move(parsed.error);
  return result;
}

bool SaveBookListFile(const std::string& path, const BookList& books, FileOps& ops) {
  // One writer at a time holds the lock, but the process id keeps two writers that ignore it
  // (or a stale file of a crashed one) from sharing a name.
  const std::string temp = path + ".tmp-" + std::to_string(::getpid());
  return platform::files::ReplaceFile(path, temp, SerializeBookList(books), 0644, ops).ok();
}

std::string MoveAside(const std::string& path) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
  const std::string base = path + ".damaged-" + stamp;
  for (int n = 0; n < 1000; ++n) {
    std::string aside = n == 0 ? base : base + "-" + std::to_string(n);
    // Never replaces a file already set aside.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      SyncFolderOf(path);
      return aside;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return "";
    // A file system without the no-replace rename: a hard link refuses to replace as well.
    if (::link(path.c_str(), aside.c_str()) == 0) {
      ::unlink(path.c_str());
      SyncFolderOf(path);
      return aside;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

std::string ResolveListPath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    // A dangling link: the list is made where it points.
    char buffer[4096];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return path;
    std::string target(buffer, static_cast<size_t>(n));
    return target[0] == '/' ? target : FolderOf(path) + "/" + target;
  }
  std::string target(resolved);
  std::free(resolved);
  return target;
}

void CreateParentFolders(const std::string& path) {
  size_t pos = 0;
  while ((pos = path.find('/', pos + 1)) != std::string::npos) {
    std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return;
  }
}

}  // namespace shelvary
