// Test cases kept as data: blocks of "key: value" lines separated by blank lines, "## Name" lines
// naming the section the following cases belong to, "#" lines as comments. In a value, "\n",
// "\t" and "\\" stand for a line feed, a tab and a backslash.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace test_support {

struct DataCase {
  std::string section;
  int line = 0;  // where the case starts in its file
  std::map<std::string, std::string> fields;

  // The field, failing the test when the case lacks it.
  const std::string& Get(const std::string& key) const {
    static const std::string kNone;
    auto it = fields.find(key);
    if (it == fields.end()) {
      ADD_FAILURE() << "case at line " << line << " has no \"" << key << "\"";
      return kNone;
    }
    return it->second;
  }
};

inline std::string UnescapeCaseValue(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

// Reads every case of a file; a file that cannot be read or a malformed line fails the test.
inline std::vector<DataCase> ReadCaseFile(const std::string& path) {
  std::vector<DataCase> cases;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return cases;
  }
  std::string section, text;
  bool open = false;
  for (int line = 1; std::getline(in, text); ++line) {
    if (text.empty()) {
      open = false;
    } else if (text.rfind("## ", 0) == 0) {
      section = text.substr(3);
      open = false;
    } else if (text[0] == '#') {
      continue;
    } else {
      auto colon = text.find(": ");
      if (colon == std::string::npos && text.back() == ':') colon = text.size() - 1;
      if (colon == std::string::npos) {
        ADD_FAILURE() << path << ":" << line << ": not a \"key: value\" line";
        continue;
      }
      if (!open) cases.push_back(DataCase{section, line, {}});
      open = true;
      if (!cases.back()
               .fields
               .emplace(text.substr(0, colon),
                        UnescapeCaseValue(text.substr(std::min(colon + 2, text.size()))))
               .second)
        ADD_FAILURE() << path << ":" << line << ": key given twice";
    }
  }
  if (cases.empty()) ADD_FAILURE() << path << " holds no cases";
  return cases;
}

}  // namespace test_support
