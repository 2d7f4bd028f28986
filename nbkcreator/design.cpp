#include "nbkcreator/design.h"

#include <map>
#include <sstream>

#include "nbkcreator/book_file.h"
#include "nbkcreator/codec.h"

namespace nbk {

namespace {

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::u16string FromUtf8(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp;
    std::size_t n;
    if (c < 0x80) {
      cp = c, n = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, n = 3;
    } else {
      cp = c & 0x07, n = 4;
    }
    for (std::size_t k = 1; k < n && i + k < s.size(); ++k)
      cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace

bool ParseDesignSource(const std::string& text, Design& design, std::string& error) {
  std::map<std::string, std::uint32_t*> numbers = {
      {"page-width", &design.pageWidth},        {"page-height", &design.pageHeight},
      {"margin-top", &design.marginTop},        {"margin-right", &design.marginRight},
      {"margin-bottom", &design.marginBottom},  {"margin-left", &design.marginLeft},
      {"font-size", &design.fontSize},          {"text-colour", &design.textColour},
      {"background-colour", &design.backColour}};
  std::map<std::string, int> seen;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = "line " + std::to_string(lineNo) + ": expected key = value";
      return false;
    }
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (++seen[key] > 1) {
      error = "line " + std::to_string(lineNo) + ": " + key + " given twice";
      return false;
    }
    if (key == "name") {
      design.name = FromUtf8(value);
      continue;
    }
    auto it = numbers.find(key);
    if (it == numbers.end()) {
      error = "line " + std::to_string(lineNo) + ": unknown key " + key;
      return false;
    }
    try {
      std::size_t used = 0;
      unsigned long v = std::stoul(value, &used, 0);
      if (used != value.size() || v > 0xFFFFFFFFul) throw std::out_of_range(value);
      *it->second = static_cast<std::uint32_t>(v);
    } catch (const std::exception&) {
      error = "line " + std::to_string(lineNo) + ": bad number " + value;
      return false;
    }
  }
  for (const char* key :
       {"name", "page-width", "page-height", "margin-top", "margin-right", "margin-bottom",
        "margin-left", "font-size", "text-colour", "background-colour"}) {
    if (!seen.count(key)) {
      error = std::string("missing ") + key;
      return false;
    }
  }
  if (!IsSaneDesign(design)) {
    error = "page size, margins or font size out of range";
    return false;
  }
  return true;
}

bool WriteDesignFile(const std::string& path, const Design& design, std::string& error) {
  std::vector<std::uint8_t> bytes = EncodeHeader(FileKind::kDesign);
  AppendSection(bytes, kSecDesign, EncodeDesign(design));
  AppendSection(bytes, kSecEnd, {});
  NewBookFile out;
  if (out.Create(path, 0644) != 0 || out.Write(bytes) != 0 || out.Commit() != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace nbk
