#include "platform/win32/path.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/file.h"

namespace {

bool IsSep(char16_t c) {
  return c == u'\\' || c == u'/';
}

size_t Length(LPCWSTR s) {
  return std::char_traits<char16_t>::length(s);
}

bool IsAbsolute(std::u16string_view p) {
  if (!p.empty() && IsSep(p[0])) return true;
  return p.size() >= 2 && p[1] == u':' &&
         ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

// Resolves "." and ".." elements, keeping each remaining element's own separator.
std::u16string Canonicalize(std::u16string_view p) {
  size_t rootEnd = 0;
  while (rootEnd < p.size() && IsSep(p[rootEnd])) ++rootEnd;
  std::u16string root(p.substr(0, rootEnd));
  struct Part {
    std::u16string_view name;
    char16_t sep;  // the separator after it, 0 when none
  };
  std::vector<Part> parts;
  size_t i = rootEnd;
  while (i < p.size()) {
    size_t j = i;
    while (j < p.size() && !IsSep(p[j])) ++j;
    std::u16string_view name = p.substr(i, j - i);
    char16_t sep = j < p.size() ? p[j] : 0;
    if (name == u".") {
      // dropped; a trailing "." leaves the separator before it
    } else if (name == u"..") {
      if (!parts.empty() && parts.back().name != u"..")
        parts.pop_back();
      else if (root.empty())
        parts.push_back({name, sep});
    } else if (!name.empty()) {
      parts.push_back({name, sep});
    }
    i = j < p.size() ? j + 1 : j;
  }
  std::u16string out = root;
  for (size_t k = 0; k < parts.size(); ++k) {
    out += parts[k].name;
    if (parts[k].sep) out += parts[k].sep;
  }
  return out;
}

bool Give(LPWSTR dest, const std::u16string& s) {
  if (s.size() >= MAX_PATH) {
    dest[0] = 0;
    return false;
  }
  std::copy(s.begin(), s.end(), dest);
  dest[s.size()] = 0;
  return true;
}

}  // namespace

BOOL PathRemoveFileSpecW(LPWSTR path) {
  if (!path || !*path) return FALSE;
  size_t n = Length(path);
  size_t last = n;
  for (size_t i = n; i-- > 0;) {
    if (IsSep(path[i])) {
      last = i;
      break;
    }
  }
  if (last == n) {  // no separator: the whole text is the file name
    path[0] = 0;
    return TRUE;
  }
  size_t cut = last;
  // Keep a root separator ("\x" -> "\") and collapse a separator run ("a\\b" -> "a").
  while (cut > 0 && IsSep(path[cut - 1])) --cut;
  if (cut == 0) cut = 1;
  if (cut == n) return FALSE;
  bool removed = path[cut] != 0;
  path[cut] = 0;
  return removed;
}

LPWSTR PathCombineW(LPWSTR dest, LPCWSTR dir, LPCWSTR file) {
  if (!dest) return nullptr;
  if (!dir && !file) {
    dest[0] = 0;
    return nullptr;
  }
  std::u16string d = dir ? dir : u"";
  std::u16string f = file ? file : u"";
  std::u16string joined;
  if (IsAbsolute(f) || d.empty()) {
    joined = f;
  } else if (f.empty()) {
    joined = d;
  } else {
    joined = d;
    if (!IsSep(joined.back())) joined += u'\\';
    joined += f;
  }
  return Give(dest, Canonicalize(joined)) ? dest : nullptr;
}

BOOL PathAppendW(LPWSTR path, LPCWSTR more) {
  if (!path || !more) return FALSE;
  std::u16string_view m = more;
  while (!m.empty() && IsSep(m.front())) m.remove_prefix(1);
  std::u16string joined = path;
  if (!m.empty()) {
    if (!joined.empty() && !IsSep(joined.back())) joined += u'\\';
    joined += m;
  }
  std::u16string result = Canonicalize(joined);
  if (result.size() >= MAX_PATH) return FALSE;
  Give(path, result);
  return TRUE;
}

LPWSTR PathFindFileNameW(LPCWSTR path) {
  if (!path) return nullptr;
  size_t n = Length(path);
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    // A separator that ends the path does not start a new element.
    if (IsSep(path[i]) && i + 1 < n && !IsSep(path[i + 1])) start = i + 1;
  }
  return const_cast<LPWSTR>(path + start);
}

LPWSTR PathFindExtensionW(LPCWSTR path) {
  if (!path) return nullptr;
  size_t n = Length(path);
  const char16_t* dot = nullptr;
  for (size_t i = 0; i < n; ++i) {
    if (path[i] == u'.')
      dot = path + i;
    else if (IsSep(path[i]) || path[i] == u' ')
      dot = nullptr;
  }
  return const_cast<LPWSTR>(dot ? dot : path + n);
}

BOOL PathFileExistsW(LPCWSTR path) {
  return path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

BOOL PathIsDirectoryW(LPCWSTR path) {
  if (!path) return FALSE;
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)
             ? static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY)
             : FALSE;
}

LPWSTR PathAddBackslashW(LPWSTR path) {
  if (!path) return nullptr;
  size_t n = Length(path);
  if (n > 0 && IsSep(path[n - 1])) return path + n;
  if (n + 1 >= MAX_PATH) return nullptr;
  path[n] = u'\\';
  path[n + 1] = 0;
  return path + n + 1;
}
