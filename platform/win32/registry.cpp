#include "platform/win32/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/files/files.h"
#include "platform/win32/codepage.h"

using platform::com::Utf16ToUtf8;
using platform::com::Utf8ToUtf16;

namespace {

// ---------------------------------------------------------------------------------------------
// The model: a hive is every key of one root, by case-folded full path ("" is the root).

struct Value {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const Value&) const = default;
};

struct Key {
  std::u16string path;                     // as created
  std::map<std::u16string, Value> values;  // by folded name
};

using Hive = std::map<std::u16string, Key>;

constexpr int kRoots = 3;
constexpr const char* kRootNames[kRoots] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                            "HKEY_LOCAL_MACHINE"};
constexpr const char* kHeader = "Nubra registry 1";

std::u16string Fold(std::u16string_view s) {
  std::u16string r(s);
  for (char16_t& c : r) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// Text form

void AppendUtf8Unit(std::string& out, std::u16string_view s, size_t& i) {
  out += Utf16ToUtf8(s.substr(i, s[i] >= 0xD800 && s[i] <= 0xDBFF ? 2 : 1));
  if (s[i] >= 0xD800 && s[i] <= 0xDBFF) ++i;
}

bool IsLoneSurrogate(std::u16string_view s, size_t i) {
  char16_t c = s[i];
  if (c >= 0xD800 && c <= 0xDBFF)
    return !(i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF);
  return c >= 0xDC00 && c <= 0xDFFF;
}

std::string Hex4(char16_t c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
  return buf;
}

// Key paths: `%uXXXX` for '%', control characters and lone surrogates.
std::string EscapeKey(std::u16string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'%' || s[i] < 0x20 || IsLoneSurrogate(s, i)) {
      out += "%u" + Hex4(s[i]);
    } else {
      AppendUtf8Unit(out, s, i);
    }
  }
  return out;
}

// Quoted strings: `\\`, `\"` and `\uXXXX`.
std::string Quote(std::u16string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\\' || s[i] == u'"') {
      out += '\\';
      out += static_cast<char>(s[i]);
    } else if (s[i] < 0x20 || IsLoneSurrogate(s, i)) {
      out += "\\u" + Hex4(s[i]);
    } else {
      AppendUtf8Unit(out, s, i);
    }
  }
  return out + "\"";
}

bool ParseHex4(std::string_view s, size_t at, char16_t& out) {
  if (at + 4 > s.size()) return false;
  unsigned v = 0;
  for (size_t k = at; k < at + 4; ++k) {
    char c = s[k];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  out = static_cast<char16_t>(v);
  return true;
}

// Decodes plain UTF-8 runs and escapes. `escape` is '%' for keys, '\\' for strings.
bool Unescape(std::string_view s, char escape, std::u16string& out) {
  out.clear();
  size_t run = 0;
  auto flush = [&](size_t end) { out += Utf8ToUtf16(s.substr(run, end - run)); };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != escape) continue;
    flush(i);
    if (i + 1 >= s.size()) return false;
    char16_t c;
    if (s[i + 1] == 'u') {
      if (!ParseHex4(s, i + 2, c)) return false;
      out.push_back(c);
      i += 5;
    } else if (escape == '\\' && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out.push_back(static_cast<char16_t>(s[i + 1]));
      i += 1;
    } else {
      return false;
    }
    run = i + 1;
  }
  flush(s.size());
  return true;
}

// A string value is written as text when it is exactly "characters + one terminator".
bool IsPlainString(const Value& v, std::u16string& text) {
  if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return false;
  text.resize(v.data.size() / 2);
  std::memcpy(text.data(), v.data.data(), v.data.size());
  if (text.back() != 0) return false;
  text.pop_back();
  return text.find(u'\0') == std::u16string::npos;
}

std::string Serialize(const Hive& hive) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [folded, key] : hive) {
    out += "\n[" + EscapeKey(key.path) + "]\n";
    for (const auto& [vf, v] : key.values) {
      out += v.name.empty() ? "@" : Quote(v.name);
      out += '=';
      std::u16string text;
      if (IsPlainString(v, text)) {
        out += Quote(text);
      } else {
        out += "hex(" + std::to_string(v.type) + "):";
        for (size_t i = 0; i < v.data.size(); ++i) {
          char b[4];
          std::snprintf(b, sizeof b, i ? ",%02x" : "%02x", v.data[i]);
          out += b;
        }
      }
      out += '\n';
    }
  }
  return out;
}

// Reads a quoted string at s[i]; leaves i after the closing quote.
bool ReadQuoted(std::string_view s, size_t& i, std::u16string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  size_t j = i + 1;
  while (j < s.size() && s[j] != '"') j += s[j] == '\\' ? 2 : 1;
  if (j >= s.size()) return false;
  if (!Unescape(s.substr(i + 1, j - i - 1), '\\', out)) return false;
  i = j + 1;
  return true;
}

bool ParseValue(std::string_view line, Value& v) {
  size_t i = 0;
  if (line.starts_with("@")) {
    v.name.clear();
    i = 1;
  } else if (!ReadQuoted(line, i, v.name) || v.name.empty()) {
    return false;
  }
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  if (i < line.size() && line[i] == '"') {
    std::u16string text;
    if (!ReadQuoted(line, i, text) || i != line.size()) return false;
    text.push_back(0);
    v.type = REG_SZ;
    v.data.resize(text.size() * 2);
    std::memcpy(v.data.data(), text.data(), v.data.size());
    return true;
  }
  std::string_view rest = line.substr(i);
  if (!rest.starts_with("hex(")) return false;
  size_t close = rest.find("):");
  if (close == std::string_view::npos || close == 4) return false;
  unsigned long type = 0;
  for (char c : rest.substr(4, close - 4)) {
    if (c < '0' || c > '9') return false;
    type = type * 10 + static_cast<unsigned long>(c - '0');
    if (type > 0xFFFFFFFFul) return false;
  }
  v.type = static_cast<DWORD>(type);
  v.data.clear();
  std::string_view bytes = rest.substr(close + 2);
  for (size_t k = 0; k < bytes.size();) {
    if (k && bytes[k++] != ',') return false;
    char16_t b;
    if (k + 2 > bytes.size()) return false;
    std::string four = "00" + std::string(bytes.substr(k, 2));
    if (!ParseHex4(four, 0, b)) return false;
    v.data.push_back(static_cast<BYTE>(b));
    k += 2;
  }
  return true;
}

// Returns 0 on success, else the line number of the first damage.
int Parse(std::string_view text, Hive& hive) {
  hive.clear();
  int lineNo = 0;
  Key* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (lineNo == 1) {
      if (line != kHeader) return 1;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') return lineNo;
      std::u16string path;
      if (!Unescape(line.substr(1, line.size() - 2), '%', path)) return lineNo;
      auto& key = hive[Fold(path)];
      key.path = path;
      current = &key;
      continue;
    }
    Value v;
    if (!current || !ParseValue(line, v)) return lineNo;
    current->values[Fold(v.name)] = std::move(v);
  }
  if (lineNo == 0) return 1;  // an empty file is not one we wrote
  hive[u""];                  // the root always exists
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Files, cache and locking

std::string Folder() {
  if (const char* dir = std::getenv("NUBRA_REGISTRY_DIR"); dir && *dir) return dir;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    return std::string(data) + "/Nubra/registry";
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/Nubra/registry";
}

struct FileState {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  long long mtime = 0;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size,
          static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

struct Cached {
  FileState state;
  bool corrupt = false;
  std::shared_ptr<const Hive> hive;
};

std::mutex& Mutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, Cached>& Cache() {
  static std::map<std::string, Cached> cache;
  return cache;
}

std::shared_ptr<const Hive> EmptyHive() {
  auto h = std::make_shared<Hive>();
  (*h)[u""];
  return h;
}

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

// Reads the hive of file (under Mutex). nullptr with *status set on failure.
std::shared_ptr<const Hive> Load(const std::string& file, LONG* status) {
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      Cache().erase(file);
      return EmptyHive();
    }
    *status = static_cast<LONG>(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  struct stat st {};
  fstat(fd, &st);
  FileState state = StateOf(st);
  auto it = Cache().find(file);
  if (it != Cache().end() && it->second.state == state) {
    close(fd);
    if (it->second.corrupt) {
      *status = static_cast<LONG>(ERROR_REGISTRY_CORRUPT);
      return nullptr;
    }
    return it->second.hive;
  }
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  auto hive = std::make_shared<Hive>();
  int bad = Parse(text, *hive);
  Cached& entry = Cache()[file];
  entry.state = state;
  entry.corrupt = bad != 0;
  if (bad) {
    std::fprintf(stderr,
                 "registry: %s is damaged at line %d; it is kept as it is and not written\n",
                 file.c_str(), bad);
    entry.hive.reset();
    *status = static_cast<LONG>(ERROR_REGISTRY_CORRUPT);
    return nullptr;
  }
  entry.hive = hive;
  return hive;
}

// Writes hive beside file and renames it over (under Mutex and the file lock).
LONG Store(const std::string& file, const Hive& hive) {
  static std::atomic<unsigned> serial{0};
  std::string tmp = file + "." + std::to_string(getpid()) + "." + std::to_string(serial++) + ".new";
  platform::files::ReplaceResult written =
      platform::files::ReplaceFile(file, tmp, Serialize(hive), 0600);
  if (!written.ok()) return static_cast<LONG>(platform::win32::ErrorFromErrno(written.error));
  return static_cast<LONG>(ERROR_SUCCESS);
}

// Read access to a root's hive.
LONG Read(int root, std::shared_ptr<const Hive>& out) {
  std::lock_guard lock(Mutex());
  LONG status = static_cast<LONG>(ERROR_SUCCESS);
  out = Load(Folder() + "/" + kRootNames[root] + ".txt", &status);
  return out ? static_cast<LONG>(ERROR_SUCCESS) : status;
}

// Runs change on a fresh copy of a root's hive under the cross-process lock; the change sets
// *changed when the file must be rewritten.
template <typename F>
LONG Modify(int root, F change) {
  std::lock_guard lock(Mutex());
  std::string folder = Folder();
  if (!MakeFolders(folder)) return static_cast<LONG>(platform::win32::ErrorFromErrno(errno));
  std::string file = folder + "/" + kRootNames[root] + ".txt";
  platform::files::FileLock fileLock(file + ".lock", std::chrono::milliseconds(-1), 0600);
  if (!fileLock.Locked()) {
    return static_cast<LONG>(platform::win32::ErrorFromErrno(fileLock.Error()));
  }
  LONG status = static_cast<LONG>(ERROR_SUCCESS);
  auto current = Load(file, &status);
  if (current) {
    Hive copy = *current;
    bool changed = false;
    status = change(copy, changed);
    if (status == static_cast<LONG>(ERROR_SUCCESS) && changed) {
      status = Store(file, copy);
      if (status == static_cast<LONG>(ERROR_SUCCESS)) {
        struct stat st {};
        if (stat(file.c_str(), &st) == 0) {
          Cache()[file] = Cached{StateOf(st), false, std::make_shared<const Hive>(std::move(copy))};
        }
      }
    }
  }
  return status;
}

// ---------------------------------------------------------------------------------------------
// Handles

struct OpenKey {
  int root;
  std::u16string path;
  REGSAM access;
};

std::mutex& HandleMutex() {
  static std::mutex m;
  return m;
}
std::set<OpenKey*>& Handles() {
  static std::set<OpenKey*> handles;
  return handles;
}

std::optional<OpenKey> Lookup(HKEY key) {
  auto v = reinterpret_cast<ULONG_PTR>(key);
  if (v >= 0x80000000u && v < 0x80000000u + kRoots) {
    return OpenKey{static_cast<int>(v - 0x80000000u), u"", KEY_ALL_ACCESS};
  }
  std::lock_guard lock(HandleMutex());
  auto* p = reinterpret_cast<OpenKey*>(key);
  if (!Handles().count(p)) return std::nullopt;
  return *p;
}

HKEY NewHandle(int root, std::u16string path, REGSAM access) {
  auto* k = new OpenKey{root, std::move(path), access};
  std::lock_guard lock(HandleMutex());
  Handles().insert(k);
  return reinterpret_cast<HKEY>(k);
}

constexpr LONG kSuccess = static_cast<LONG>(ERROR_SUCCESS);
constexpr LONG Err(DWORD e) {
  return static_cast<LONG>(e);
}

// The full path of subKey below base: components joined by `\`; a trailing `\` is dropped.
bool Join(const std::u16string& base, LPCWSTR subKey, std::u16string& out) {
  std::u16string_view sub = subKey ? subKey : u"";
  while (!sub.empty() && sub.back() == u'\\') sub.remove_suffix(1);
  if (!sub.empty() && sub.front() == u'\\') return false;
  if (sub.find(u"\\\\") != std::u16string_view::npos) return false;
  out = base;
  if (!sub.empty()) {
    if (!out.empty()) out += u'\\';
    out += sub;
  }
  return true;
}

bool HasChildren(const Hive& hive, const std::u16string& folded) {
  std::u16string prefix = folded.empty() ? u"" : folded + u'\\';
  // Siblings such as "A!" sort between "A" and "A\\x", so look from the prefix itself.
  auto it = hive.lower_bound(prefix);
  if (it != hive.end() && it->first == folded) ++it;
  return it != hive.end() && it->first.starts_with(prefix);
}

std::vector<const Key*> Children(const Hive& hive, const std::u16string& folded) {
  std::vector<const Key*> out;
  std::u16string prefix = folded.empty() ? u"" : folded + u'\\';
  for (auto it = hive.lower_bound(prefix); it != hive.end() && it->first.starts_with(prefix);
       ++it) {
    if (it->first.empty() || it->first == folded) continue;
    if (it->first.find(u'\\', prefix.size()) == std::u16string::npos) out.push_back(&it->second);
  }
  return out;
}

LONG QueryValue(HKEY key, std::u16string_view name, const Value** found,
                std::shared_ptr<const Hive>& hive) {
  auto k = Lookup(key);
  if (!k) return Err(ERROR_INVALID_HANDLE);
  if (!(k->access & KEY_QUERY_VALUE)) return Err(ERROR_ACCESS_DENIED);
  if (LONG r = Read(k->root, hive); r != kSuccess) return r;
  auto it = hive->find(Fold(k->path));
  if (it == hive->end()) return Err(ERROR_KEY_DELETED);
  auto v = it->second.values.find(Fold(name));
  if (v == it->second.values.end()) return Err(ERROR_FILE_NOT_FOUND);
  *found = &v->second;
  return kSuccess;
}

LONG GiveData(const std::vector<BYTE>& bytes, DWORD valueType, LPDWORD type, LPBYTE data,
              LPDWORD size) {
  if (type) *type = valueType;
  if (data && !size) return Err(ERROR_INVALID_PARAMETER);
  if (!size) return kSuccess;
  DWORD needed = static_cast<DWORD>(bytes.size());
  if (data && *size < needed) {
    *size = needed;
    return Err(ERROR_MORE_DATA);
  }
  if (data && needed) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return kSuccess;
}

}  // namespace

namespace platform::win32 {
std::string RegistryFolder() {
  return Folder();
}
}  // namespace platform::win32

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  if (!result) return Err(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  auto base = Lookup(key);
  if (!base) return Err(ERROR_INVALID_HANDLE);
  std::u16string full;
  if (!Join(base->path, subKey, full)) return Err(ERROR_BAD_PATHNAME);
  if (full != base->path && !(base->access & KEY_CREATE_SUB_KEY)) return Err(ERROR_ACCESS_DENIED);
  std::u16string stored;
  DWORD how = REG_OPENED_EXISTING_KEY;
  LONG r = Modify(base->root, [&](Hive& hive, bool& changed) -> LONG {
    auto baseKey = hive.find(Fold(base->path));
    if (baseKey == hive.end()) return Err(ERROR_KEY_DELETED);
    // Create each missing key along the path; existing keys keep the case they were made with.
    std::u16string walked = baseKey->second.path;
    size_t pos = base->path.empty() ? 0 : base->path.size() + 1;
    while (pos < full.size()) {
      size_t end = full.find(u'\\', pos);
      if (end == std::u16string::npos) end = full.size();
      std::u16string name = full.substr(pos, end - pos);
      auto [it, inserted] = hive.try_emplace(Fold(full.substr(0, end)));
      if (inserted) {
        it->second.path = walked.empty() ? name : walked + u'\\' + name;
        changed = true;
        how = REG_CREATED_NEW_KEY;
      }
      walked = it->second.path;
      pos = end + 1;
    }
    stored = walked;
    return kSuccess;
  });
  if (r != kSuccess) return r;
  if (disposition) *disposition = how;
  *result = NewHandle(base->root, stored, access);
  return kSuccess;
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (!result) return Err(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  auto base = Lookup(key);
  if (!base) return Err(ERROR_INVALID_HANDLE);
  std::u16string full;
  if (!Join(base->path, subKey, full)) return Err(ERROR_BAD_PATHNAME);
  std::shared_ptr<const Hive> hive;
  if (LONG r = Read(base->root, hive); r != kSuccess) return r;
  auto it = hive->find(Fold(full));
  if (it == hive->end()) return Err(ERROR_FILE_NOT_FOUND);
  *result = NewHandle(base->root, it->second.path, access);
  return kSuccess;
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  std::u16string wide = subKey ? platform::win32::AnsiToWide(subKey) : u"";
  return RegOpenKeyExW(key, subKey ? wide.c_str() : nullptr, options, access, result);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  auto k = Lookup(key);
  if (!k) return Err(ERROR_INVALID_HANDLE);
  if (!(k->access & KEY_SET_VALUE)) return Err(ERROR_ACCESS_DENIED);
  if (!data && size) return Err(ERROR_INVALID_PARAMETER);
  Value v;
  v.name = name ? name : u"";
  v.type = type;
  if (size) v.data.assign(data, data + size);
  return Modify(k->root, [&](Hive& hive, bool& changed) -> LONG {
    auto it = hive.find(Fold(k->path));
    if (it == hive.end()) return Err(ERROR_KEY_DELETED);
    auto& values = it->second.values;
    auto found = values.find(Fold(v.name));
    if (found == values.end()) {
      values.emplace(Fold(v.name), v);
      changed = true;
    } else {
      v.name = found->second.name;  // a value set again keeps the name it was made with
      if (!(found->second == v)) {
        found->second = v;
        changed = true;
      }
    }
    return kSuccess;
  });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  const Value* v = nullptr;
  std::shared_ptr<const Hive> hive;
  if (LONG r = QueryValue(key, name ? name : u"", &v, hive); r != kSuccess) return r;
  return GiveData(v->data, v->type, type, data, size);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  const Value* v = nullptr;
  std::shared_ptr<const Hive> hive;
  std::u16string wide = name ? platform::win32::AnsiToWide(name) : u"";
  if (LONG r = QueryValue(key, wide, &v, hive); r != kSuccess) return r;
  if (v->type != REG_SZ && v->type != REG_EXPAND_SZ && v->type != REG_MULTI_SZ) {
    return GiveData(v->data, v->type, type, data, size);
  }
  std::u16string text(v->data.size() / 2, u'\0');
  std::memcpy(text.data(), v->data.data(), text.size() * 2);
  std::string ansi = platform::win32::WideToAnsi(text);
  return GiveData(std::vector<BYTE>(ansi.begin(), ansi.end()), v->type, type, data, size);
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name) {
  auto k = Lookup(key);
  if (!k) return Err(ERROR_INVALID_HANDLE);
  if (!(k->access & KEY_SET_VALUE)) return Err(ERROR_ACCESS_DENIED);
  std::u16string folded = Fold(name ? name : u"");
  return Modify(k->root, [&](Hive& hive, bool& changed) -> LONG {
    auto it = hive.find(Fold(k->path));
    if (it == hive.end()) return Err(ERROR_KEY_DELETED);
    if (!it->second.values.erase(folded)) return Err(ERROR_FILE_NOT_FOUND);
    changed = true;
    return kSuccess;
  });
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return Err(ERROR_INVALID_PARAMETER);
  auto base = Lookup(key);
  if (!base) return Err(ERROR_INVALID_HANDLE);
  std::u16string full;
  if (!Join(base->path, subKey, full)) return Err(ERROR_BAD_PATHNAME);
  if (full.empty()) return Err(ERROR_ACCESS_DENIED);  // a root key cannot be deleted
  std::u16string folded = Fold(full);
  return Modify(base->root, [&](Hive& hive, bool& changed) -> LONG {
    auto it = hive.find(folded);
    if (it == hive.end()) return Err(ERROR_FILE_NOT_FOUND);
    if (HasChildren(hive, folded)) return Err(ERROR_ACCESS_DENIED);
    hive.erase(it);
    changed = true;
    return kSuccess;
  });
}

namespace {
LONG GiveName(const std::u16string& text, LPWSTR name, LPDWORD nameSize) {
  if (!name || !nameSize) return Err(ERROR_INVALID_PARAMETER);
  if (*nameSize < text.size() + 1) return Err(ERROR_MORE_DATA);
  std::copy(text.begin(), text.end(), name);
  name[text.size()] = 0;
  *nameSize = static_cast<DWORD>(text.size());
  return kSuccess;
}
}  // namespace

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD,
                      LPWSTR keyClass, LPDWORD classSize, PFILETIME lastWrite) {
  auto k = Lookup(key);
  if (!k) return Err(ERROR_INVALID_HANDLE);
  if (!(k->access & KEY_ENUMERATE_SUB_KEYS)) return Err(ERROR_ACCESS_DENIED);
  std::shared_ptr<const Hive> hive;
  if (LONG r = Read(k->root, hive); r != kSuccess) return r;
  std::u16string folded = Fold(k->path);
  if (!hive->count(folded)) return Err(ERROR_KEY_DELETED);
  auto children = Children(*hive, folded);
  if (index >= children.size()) return Err(ERROR_NO_MORE_ITEMS);
  const std::u16string& path = children[index]->path;
  size_t cut = path.rfind(u'\\');
  if (keyClass && classSize && *classSize) keyClass[0] = 0;
  if (classSize) *classSize = 0;
  if (lastWrite) *lastWrite = FILETIME{0, 0};
  return GiveName(cut == std::u16string::npos ? path : path.substr(cut + 1), name, nameSize);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize) {
  auto k = Lookup(key);
  if (!k) return Err(ERROR_INVALID_HANDLE);
  if (!(k->access & KEY_QUERY_VALUE)) return Err(ERROR_ACCESS_DENIED);
  std::shared_ptr<const Hive> hive;
  if (LONG r = Read(k->root, hive); r != kSuccess) return r;
  auto it = hive->find(Fold(k->path));
  if (it == hive->end()) return Err(ERROR_KEY_DELETED);
  if (index >= it->second.values.size()) return Err(ERROR_NO_MORE_ITEMS);
  const Value& v = std::next(it->second.values.begin(), index)->second;
  if (LONG r = GiveName(v.name, name, nameSize); r != kSuccess) return r;
  return GiveData(v.data, v.type, type, data, dataSize);
}

LSTATUS RegCloseKey(HKEY key) {
  auto v = reinterpret_cast<ULONG_PTR>(key);
  if (v >= 0x80000000u && v < 0x80000000u + kRoots) return kSuccess;
  std::lock_guard lock(HandleMutex());
  auto* p = reinterpret_cast<OpenKey*>(key);
  if (!Handles().erase(p)) return Err(ERROR_INVALID_HANDLE);
  delete p;
  return kSuccess;
}
