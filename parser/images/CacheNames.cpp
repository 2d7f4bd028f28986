#include "parser/images/CacheNames.h"

#include <cstdio>
#include <string_view>

#include "platform/com/com.h"

namespace {

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return out;
}

}  // namespace

std::u16string ImageCacheName(const std::u16string& cacheDir, int depth,
                              const std::u16string& address) {
  std::u16string key = address;
  for (char16_t& c : key) {
    if (std::u16string_view(u"\\*?\"<>|:").find(c) != std::u16string_view::npos) c = u'@';
  }
  for (char16_t& c : key) {
    if (c == u'/' || c == u'%' || c == u'&') c = u'+';
  }
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "[%d]", depth);
  return cacheDir + u"__cash" + Ascii(prefix) + key;
}

std::u16string ImageCacheFile(const std::u16string& cacheDir, int depth, int missingIndex) {
  char name[64];
  std::snprintf(name, sizeof name, "[%d]index%05d.tmp", depth, missingIndex);
  return cacheDir + u"__cash" + Ascii(name);
}
