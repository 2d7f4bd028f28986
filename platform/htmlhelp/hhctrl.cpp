// hhctrl.ocx: the HTML Help control. Reads a compiled help file with chmlib, extracts the
// topic and the pages, style sheets and images it links (and what those link) into the user's
// cache folder, and hands the topic to the desktop opener. A help file is untrusted input:
// archive paths are normalised and must stay inside the cache folder, and the amount extracted
// is bounded.
#include <chm_lib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/htmlhelp.h"
#include "platform/win32/windows.h"

namespace {

constexpr size_t kMaxFiles = 2000;
constexpr size_t kMaxBytes = 64u << 20;
constexpr size_t kMaxSystemFile = 1u << 20;
constexpr char16_t kViewerClass[] = u"HH Parent";

struct ChmCloser {
  void operator()(chmFile* h) const { chm_close(h); }
};
using Chm = std::unique_ptr<chmFile, ChmCloser>;

// The whole of an archive object, when it exists and is at most limit bytes.
std::optional<std::string> ReadObject(chmFile* h, const std::string& path, size_t limit) {
  chmUnitInfo ui{};
  if (chm_resolve_object(h, path.c_str(), &ui) != CHM_RESOLVE_SUCCESS) return std::nullopt;
  if (ui.length > limit) return std::nullopt;
  std::string data(static_cast<size_t>(ui.length), '\0');
  LONGUINT64 done = 0;
  while (done < ui.length) {
    LONGINT64 n = chm_retrieve_object(h, &ui, reinterpret_cast<unsigned char*>(&data[done]), done,
                                      static_cast<LONGINT64>(ui.length - done));
    if (n <= 0) return std::nullopt;
    done += static_cast<LONGUINT64>(n);
  }
  return data;
}

struct SystemInfo {
  std::string defaultTopic;
  std::string title;
};

// "/#SYSTEM": a version, then records of a WORD code, a WORD length and the data; code 2 is the
// default topic, code 3 the title, both zero-terminated.
SystemInfo ReadSystem(chmFile* h) {
  SystemInfo info;
  auto data = ReadObject(h, "/#SYSTEM", kMaxSystemFile);
  if (!data) return info;
  const auto* p = reinterpret_cast<const unsigned char*>(data->data());
  size_t size = data->size(), at = 4;
  while (at + 4 <= size) {
    unsigned code = p[at] | p[at + 1] << 8, length = p[at + 2] | p[at + 3] << 8;
    at += 4;
    if (length > size - at) break;
    std::string value(reinterpret_cast<const char*>(p + at), length);
    value = value.substr(0, value.find('\0'));
    if (code == 2) info.defaultTopic = value;
    if (code == 3) info.title = value;
    at += length;
  }
  return info;
}

std::string FirstPage(chmFile* h) {
  std::string found;
  chm_enumerate(
      h, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
      [](chmFile*, chmUnitInfo* ui, void* context) -> int {
        std::string path = ui->path;
        auto ends = [&](const char* ext) {
          std::string e = ext;
          return path.size() > e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
        };
        if (ends(".html") || ends(".htm")) {
          *static_cast<std::string*>(context) = path;
          return CHM_ENUMERATOR_SUCCESS;
        }
        return CHM_ENUMERATOR_CONTINUE;
      },
      &found);
  return found;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// An archive path ("/a/b.html") for link as written in a page of folder, or "" for a link
// that leaves the archive (another scheme, a network path) or climbs above its root.
std::string ArchivePath(const std::string& folder, std::string link) {
  link = link.substr(0, link.find_first_of("#?"));
  if (link.empty() || link.rfind("//", 0) == 0) return {};
  size_t colon = link.find(':'), slash = link.find('/');
  if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) return {};
  std::string decoded;
  for (size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size() && HexValue(link[i + 1]) >= 0 &&
        HexValue(link[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(link[i + 1]) * 16 + HexValue(link[i + 2])));
      i += 2;
    } else {
      decoded.push_back(link[i] == '\\' ? '/' : link[i]);
    }
  }
  std::string full = decoded[0] == '/' ? decoded : folder + decoded;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return {};
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      if (part.find('\0') != std::string::npos) return {};
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return {};
  std::string path;
  for (const auto& part : parts) path += "/" + part;
  return path;
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);
}

bool IsPage(const std::string& path) {
  std::string lower;
  for (char c : path)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  auto ends = [&](const std::string& e) {
    return lower.size() > e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  return ends(".html") || ends(".htm");
}

bool IsStyleSheet(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".css") == 0;
}

// The addresses a page or style sheet refers to: href= and src= attribute values, and url().
std::vector<std::string> LinksIn(const std::string& text) {
  std::string lower;
  for (char c : text)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  std::vector<std::string> links;
  auto valueAt = [&](size_t at, bool attribute) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (attribute) {
      if (at >= text.size() || text[at] != '=') return;
      ++at;
      while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    }
    if (at >= text.size()) return;
    char quote = text[at];
    size_t end;
    if (quote == '"' || quote == '\'') {
      end = text.find(quote, ++at);
    } else {
      end = text.find_first_of(attribute ? " \t\r\n>" : ")", at);
    }
    if (end == std::string::npos) end = text.size();
    links.push_back(text.substr(at, end - at));
  };
  for (const char* name : {"href", "src"}) {
    std::string n = name;
    for (size_t at = lower.find(n); at != std::string::npos; at = lower.find(n, at + 1)) {
      bool wordStart = at == 0 || !std::isalnum(static_cast<unsigned char>(lower[at - 1]));
      if (wordStart) valueAt(at + n.size(), true);
    }
  }
  for (size_t at = lower.find("url("); at != std::string::npos; at = lower.find("url(", at + 1))
    valueAt(at + 4, false);
  return links;
}

// The user's own cache folder for extracted help, made private; "" when it is not safely ours.
std::string CacheRoot() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  std::string base =
      cache && *cache ? cache : std::string(home && *home ? home : "/tmp") + "/.cache";
  std::error_code ec;
  std::filesystem::create_directories(base, ec);
  std::string root = base + "/nubra-htmlhelp";
  mkdir(root.c_str(), 0700);
  struct stat st {};
  if (lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 077) != 0)
    return {};
  return root;
}

// Writes an archive object below folder; the path is normalised and its folders are made as
// real folders (an existing link is never followed).
bool WriteBelow(const std::string& folder, const std::string& archivePath,
                const std::string& data) {
  std::string target = folder;
  size_t start = 1;
  for (;;) {
    size_t slash = archivePath.find('/', start);
    if (slash == std::string::npos) break;
    target += "/" + archivePath.substr(start, slash - start);
    if (mkdir(target.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    start = slash + 1;
  }
  target += "/" + archivePath.substr(start);
  int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) {
      close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

// Extracts topic and, breadth first, what pages and style sheets link that the archive holds.
bool Extract(chmFile* h, const std::string& topic, const std::string& folder) {
  std::set<std::string> seen{topic};
  std::deque<std::string> queue{topic};
  size_t files = 0, bytes = 0;
  while (!queue.empty() && files < kMaxFiles) {
    std::string path = queue.front();
    queue.pop_front();
    auto data = ReadObject(h, path, kMaxBytes - bytes);
    if (!data) {
      if (path == topic) return false;
      continue;  // a link to something the archive does not hold, or past the budget
    }
    if (!WriteBelow(folder, path, *data)) return false;
    ++files;
    bytes += data->size();
    if (!IsPage(path) && !IsStyleSheet(path)) continue;
    for (const auto& link : LinksIn(*data)) {
      std::string next = ArchivePath(FolderOf(path), link);
      if (!next.empty() && seen.insert(next).second) queue.push_back(next);
    }
  }
  return true;
}

std::string HexName(const std::string& text) {
  unsigned long long hash = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", hash);
  return buf;
}

HINSTANCE ThisModule() {
  return platform::win32::ModuleFromAddress(reinterpret_cast<const void*>(&ThisModule));
}

struct Viewers {
  std::mutex m;
  std::map<std::string, HWND> byFile;
};

// Made on first use; freed when the library is unloaded, since nothing outlives it.
Viewers* g_viewers = nullptr;

Viewers& V() {
  if (!g_viewers) g_viewers = new Viewers;
  return *g_viewers;
}

// The window that stands for the viewer of file; one per help file, kept while it lives.
HWND ViewerFor(const std::string& file, const std::string& title) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(ThisModule(), kViewerClass, &wc)) {
    wc.lpfnWndProc = DefWindowProcW;  // lives in the platform, so it outlasts this library
    wc.hInstance = ThisModule();
    wc.lpszClassName = kViewerClass;
    RegisterClassW(&wc);
  }
  std::u16string caption = platform::com::Utf8ToUtf16(title.empty() ? file : title);
  auto& v = V();
  std::lock_guard lock(v.m);
  HWND& hwnd = v.byFile[file];
  if (hwnd && IsWindow(hwnd)) {
    SetWindowTextW(hwnd, caption.c_str());
    return hwnd;
  }
  hwnd = CreateWindowExW(0, kViewerClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, ThisModule(),
                         nullptr);
  return hwnd;
}

void CloseAll() {
  std::vector<HWND> windows;
  {
    auto& v = V();
    std::lock_guard lock(v.m);
    for (auto& [file, hwnd] : v.byFile) windows.push_back(hwnd);
    v.byFile.clear();
  }
  for (HWND hwnd : windows)
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

HWND DisplayTopic(LPCWSTR file, DWORD_PTR data) {
  if (!file || !*file) return nullptr;
  // "help.chm::/page.html" names a page of the file; so does a topic given as data.
  std::string name = platform::win32::ToNativePath(file);
  std::string page;
  if (size_t sep = name.find("::"); sep != std::string::npos) {
    page = name.substr(sep + 2);
    name.resize(sep);
  }
  if (page.empty() && data) page = platform::com::Utf16ToUtf8(reinterpret_cast<LPCWSTR>(data));
  page = page.substr(0, page.find('>'));  // a window name after '>' is not ours to honour
  char resolved[PATH_MAX];
  if (!realpath(name.c_str(), resolved)) return nullptr;
  struct stat st {};
  if (stat(resolved, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  Chm chm(chm_open(resolved));
  if (!chm) return nullptr;  // missing, unreadable or not a compiled help file

  SystemInfo info = ReadSystem(chm.get());
  std::string topic = ArchivePath("/", page.empty() ? info.defaultTopic : page);
  if (topic.empty()) topic = FirstPage(chm.get());
  if (topic.empty()) return nullptr;

  std::string root = CacheRoot();
  if (root.empty()) return nullptr;
  std::string folder = root + "/" + HexName(resolved);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);  // nothing stale from an earlier version of the file
  if (mkdir(folder.c_str(), 0700) != 0 || !Extract(chm.get(), topic, folder)) return nullptr;

  std::u16string opened = platform::com::Utf8ToUtf16(folder + topic);
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, u"open", opened.c_str(), nullptr, nullptr, SW_SHOW));
  if (result <= 32) return nullptr;
  return ViewerFor(resolved, info.title);
}

HWND HtmlHelp(HWND, LPCWSTR file, UINT command, DWORD_PTR data) {
  try {
    switch (command) {
      case HH_DISPLAY_TOPIC:
        return DisplayTopic(file, data);
      case HH_CLOSE_ALL:
        CloseAll();
        return nullptr;
      default:
        return nullptr;
    }
  } catch (...) {
    return nullptr;  // nothing is thrown across the library's boundary
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HWND Ordinal15(HWND caller, LPCWSTR file,
                                                                 UINT command, DWORD_PTR data) {
  return HtmlHelp(caller, file, command, data);
}

extern "C" __attribute__((visibility("default"))) HWND HtmlHelpW(HWND caller, LPCWSTR file,
                                                                 UINT command, DWORD_PTR data) {
  return HtmlHelp(caller, file, command, data);
}

extern "C" __attribute__((visibility("default"))) BOOL DllMain(HINSTANCE module, DWORD reason,
                                                               LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    CloseAll();
    UnregisterClassW(kViewerClass, module);
    delete g_viewers;
    g_viewers = nullptr;
  }
  return TRUE;
}
