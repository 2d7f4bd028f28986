// Text in another encoding through glibc's iconv: the reference the loader's converters and
// decoders are checked against.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace nbtest {

inline std::string Iconv(const std::string& in, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << from << " -> " << to;
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  EXPECT_NE(iconv(cd, &src, &srcLeft, &dst, &dstLeft), static_cast<size_t>(-1))
      << from << " -> " << to;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);  // back to the initial shift state
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

// UTF-8 text in the encoding named as iconv names it.
inline std::string Encode(const std::string& utf8, const char* to) {
  return Iconv(utf8, "UTF-8", to);
}

}  // namespace nbtest
