// nbclip view BOOK.nbk [-o FILE.html] [--open]: writes the book's preview, one self-contained
// HTML file, and opens it with the desktop opener when asked. Without -o the preview goes
// beside the book, or into the user's cache folder when the book's folder cannot be written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "apps/nbclip/commands.h"
#include "apps/nbclip/preview/book_preview.h"
#include "contracts/NBKReader.h"
#include "platform/com/com.h"
#include "platform/win32/shell.h"

namespace nbclip {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: nbclip view BOOK.nbk [-o FILE.html] [--open]\n"
    "  writes the book's preview (one HTML file, images inside); without -o it goes beside\n"
    "  the book as BOOK.html; --open opens it with the desktop opener\n";

int Fail(const std::string& message) {
  std::cerr << "nbclip view: " << message << "\n";
  return kExitFailed;
}

// The user's cache folder for previews of books whose own folder is read-only.
fs::path CacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  fs::path base =
      cache && *cache ? fs::path(cache) : fs::path(home && *home ? home : "/tmp") / ".cache";
  return base / "nubra" / "previews";
}

bool FolderWritable(const fs::path& folder) {
  return ::access((folder.empty() ? fs::path(".") : folder).c_str(), W_OK | X_OK) == 0;
}

// Writes the preview into a new file beside out and renames it over out, so a failure leaves
// neither a half-written preview nor a damaged earlier one.
bool WriteFile(const nbk::Book& book, const fs::path& out, preview::PreviewStats& stats,
               std::string& error) {
  std::string temp = (out.parent_path() / ("." + out.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + out.string() + ": " + std::strerror(errno);
    return false;
  }
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  bool ok = false;
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (file) {
      stats = preview::WritePreview(book, file);
      file.flush();
      ok = file.good();
    }
  }
  if (ok && std::rename(temp.c_str(), out.c_str()) == 0) return true;
  error = "cannot write " + out.string() + ": " + std::strerror(errno);
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

int RunView(Args args) {
  std::string_view bookArg, outArg;
  bool open = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--open") {
      open = true;
    } else if (a == "-o") {
      if (i + 1 >= args.size()) {
        std::cerr << "nbclip view: -o needs a value\n" << kUsage;
        return kExitUsage;
      }
      outArg = args[++i];
    } else if (bookArg.empty() && !a.starts_with("-")) {
      bookArg = a;
    } else {
      std::cerr << kUsage;
      return kExitUsage;
    }
  }
  if (bookArg.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const fs::path bookPath(bookArg);
  std::string error;
  std::optional<nbk::Book> book = nbk::ReadBook(bookPath.string(), error);
  if (!book) return Fail(bookPath.string() + ": " + error);
  if (book->kind != nbk::FileKind::kBook) {
    return Fail(bookPath.string() + ": a design file, not a book");
  }

  fs::path out;
  if (!outArg.empty()) {
    out = outArg;
  } else {
    out = bookPath;
    out.replace_extension(".html");
    if (!FolderWritable(out.parent_path())) {
      fs::path cache = CacheFolder();
      std::error_code ec;
      fs::create_directories(cache, ec);
      out = cache / out.filename();
      std::cerr << "nbclip view: " << bookPath.parent_path().string()
                << " cannot be written; the preview goes into " << cache.string() << "\n";
    }
  }
  std::error_code ec;
  if (fs::equivalent(out, bookPath, ec)) {
    return Fail(out.string() + ": is the book itself; choose another -o");
  }
  if (fs::is_directory(out, ec)) return Fail(out.string() + ": is a folder; -o names a file");

  preview::PreviewStats stats;
  if (!WriteFile(*book, out, stats, error)) return Fail(error);
  std::cout << "preview: " << out.string() << "\n"
            << "pages " << stats.pages << ", blocks " << stats.blocks << ", images " << stats.images
            << "\n";
  if (stats.marks) {
    std::cout << stats.marks << " item(s) cannot be shown; they are marked in the preview\n";
  }
  if (open) {
    std::u16string wide = platform::com::Utf8ToUtf16(fs::absolute(out).string());
    HINSTANCE result =
        ShellExecuteW(nullptr, u"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
      return Fail("cannot open " + out.string() +
                  " with the desktop opener (is xdg-open installed?)");
    }
  }
  return kExitOk;
}

}  // namespace nbclip
