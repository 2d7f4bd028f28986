#include "apps/nbclip/native_messaging.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text/text.h"

namespace nbclip::nm {

const Json* Json::Find(std::string_view key) const {
  const JsonObject* o = Object();
  if (!o) return nullptr;
  auto it = o->find(key);
  return it == o->end() ? nullptr : &it->second;
}

namespace {

void WriteString(std::string& out, std::string_view s) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\u%04x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void WriteValue(std::string& out, const Json& v) {
  if (std::holds_alternative<std::nullptr_t>(v.value)) {
    out += "null";
  } else if (const bool* b = std::get_if<bool>(&v.value)) {
    out += *b ? "true" : "false";
  } else if (const double* n = std::get_if<double>(&v.value)) {
    if (!std::isfinite(*n)) {
      out += "null";
    } else if (*n == std::floor(*n) && std::fabs(*n) < 9e15) {
      out += std::to_string(static_cast<long long>(*n));
    } else {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", *n);
      out += text;
    }
  } else if (const std::string* s = std::get_if<std::string>(&v.value)) {
    WriteString(out, *s);
  } else if (const JsonArray* a = std::get_if<JsonArray>(&v.value)) {
    out += '[';
    for (size_t i = 0; i < a->size(); ++i) {
      if (i) out += ',';
      WriteValue(out, (*a)[i]);
    }
    out += ']';
  } else if (const JsonObject* o = std::get_if<JsonObject>(&v.value)) {
    out += '{';
    bool first = true;
    for (const auto& [key, item] : *o) {
      if (!first) out += ',';
      first = false;
      WriteString(out, key);
      out += ':';
      WriteValue(out, item);
    }
    out += '}';
  }
}

// Length of the well-formed UTF-8 sequence at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
  for (size_t k = 1; k < n; ++k) {
    auto d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

class Parser {
 public:
  Parser(std::string_view text, int maxDepth) : m_text(text), m_maxDepth(maxDepth) {}

  std::optional<Json> Document(std::string& error) {
    std::optional<Json> v = Value(0);
    if (v) {
      Space();
      if (m_at != m_text.size()) Fail("text after the value");
    }
    if (!m_error.empty()) {
      error = m_error + " at byte " + std::to_string(m_at);
      return std::nullopt;
    }
    return v;
  }

 private:
  void Fail(const char* what) {
    if (m_error.empty()) m_error = what;
  }
  void Space() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                    m_text[m_at] == '\n' || m_text[m_at] == '\r'))
      ++m_at;
  }
  bool Literal(std::string_view word) {
    if (m_text.substr(m_at, word.size()) != word) return false;
    m_at += word.size();
    return true;
  }

  std::optional<Json> Value(int depth) {
    if (depth > m_maxDepth) {
      Fail("nested too deeply");
      return std::nullopt;
    }
    Space();
    if (m_at >= m_text.size()) {
      Fail("value expected");
      return std::nullopt;
    }
    char c = m_text[m_at];
    if (c == '{') return ObjectValue(depth);
    if (c == '[') return ArrayValue(depth);
    if (c == '"') {
      std::optional<std::string> s = String();
      if (!s) return std::nullopt;
      return Json(std::move(*s));
    }
    if (Literal("true")) return Json(true);
    if (Literal("false")) return Json(false);
    if (Literal("null")) return Json(nullptr);
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    Fail("value expected");
    return std::nullopt;
  }

  std::optional<Json> Number() {
    size_t start = m_at;
    auto digits = [&] {
      size_t from = m_at;
      while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
      return m_at > from;
    };
    if (m_text[m_at] == '-') ++m_at;
    if (m_at < m_text.size() && m_text[m_at] == '0') {
      ++m_at;
    } else if (!digits()) {
      Fail("bad number");
      return std::nullopt;
    }
    if (m_at < m_text.size() && m_text[m_at] == '.') {
      ++m_at;
      if (!digits()) {
        Fail("bad number");
        return std::nullopt;
      }
    }
    if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
      ++m_at;
      if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) ++m_at;
      if (!digits()) {
        Fail("bad number");
        return std::nullopt;
      }
    }
    std::string number(m_text.substr(start, m_at - start));
    double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) {
      Fail("number out of range");
      return std::nullopt;
    }
    return Json(value);
  }

  std::optional<uint32_t> Hex4() {
    if (m_at + 4 > m_text.size()) return std::nullopt;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char h = m_text[m_at++];
      v <<= 4;
      if (h >= '0' && h <= '9')
        v |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f')
        v |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        v |= static_cast<uint32_t>(h - 'A' + 10);
      else
        return std::nullopt;
    }
    return v;
  }

  std::optional<std::string> String() {
    ++m_at;  // the opening quote
    std::string out;
    while (m_at < m_text.size()) {
      auto c = static_cast<unsigned char>(m_text[m_at]);
      if (c == '"') {
        ++m_at;
        return out;
      }
      if (c < 0x20) {
        Fail("control character in a string");
        return std::nullopt;
      }
      if (c == '\\') {
        if (++m_at >= m_text.size()) break;
        char e = m_text[m_at++];
        switch (e) {
          case '"':
            out += '"';
            break;
          case '\\':
            out += '\\';
            break;
          case '/':
            out += '/';
            break;
          case 'b':
            out += '\b';
            break;
          case 'f':
            out += '\f';
            break;
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case 'u': {
            std::optional<uint32_t> cp = Hex4();
            if (cp && *cp >= 0xD800 && *cp <= 0xDBFF) {
              std::optional<uint32_t> low;
              if (Literal("\\u")) low = Hex4();
              if (!low || *low < 0xDC00 || *low > 0xDFFF)
                cp.reset();
              else
                cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
            } else if (cp && *cp >= 0xDC00 && *cp <= 0xDFFF) {
              cp.reset();
            }
            if (!cp) {
              Fail("bad \\u escape");
              return std::nullopt;
            }
            platform::text::AppendUtf8(out, *cp);
            break;
          }
          default:
            Fail("bad escape");
            return std::nullopt;
        }
        continue;
      }
      size_t n = Utf8Length(m_text, m_at);
      if (n == 0) {
        Fail("not UTF-8");
        return std::nullopt;
      }
      out.append(m_text.substr(m_at, n));
      m_at += n;
    }
    Fail("unterminated string");
    return std::nullopt;
  }

  std::optional<Json> ArrayValue(int depth) {
    ++m_at;
    JsonArray items;
    Space();
    if (m_at < m_text.size() && m_text[m_at] == ']') {
      ++m_at;
      return Json(std::move(items));
    }
    while (true) {
      std::optional<Json> v = Value(depth + 1);
      if (!v) return std::nullopt;
      items.push_back(std::move(*v));
      Space();
      if (m_at < m_text.size() && m_text[m_at] == ',') {
        ++m_at;
        continue;
      }
      if (m_at < m_text.size() && m_text[m_at] == ']') {
        ++m_at;
        return Json(std::move(items));
      }
      Fail("',' or ']' expected");
      return std::nullopt;
    }
  }

  std::optional<Json> ObjectValue(int depth) {
    ++m_at;
    JsonObject members;
    Space();
    if (m_at < m_text.size() && m_text[m_at] == '}') {
      ++m_at;
      return Json(std::move(members));
    }
    while (true) {
      Space();
      if (m_at >= m_text.size() || m_text[m_at] != '"') {
        Fail("name expected");
        return std::nullopt;
      }
      std::optional<std::string> key = String();
      if (!key) return std::nullopt;
      Space();
      if (m_at >= m_text.size() || m_text[m_at] != ':') {
        Fail("':' expected");
        return std::nullopt;
      }
      ++m_at;
      std::optional<Json> v = Value(depth + 1);
      if (!v) return std::nullopt;
      // A name given twice could be read differently by two readers; it is refused.
      if (!members.emplace(std::move(*key), std::move(*v)).second) {
        Fail("name given twice");
        return std::nullopt;
      }
      Space();
      if (m_at < m_text.size() && m_text[m_at] == ',') {
        ++m_at;
        continue;
      }
      if (m_at < m_text.size() && m_text[m_at] == '}') {
        ++m_at;
        return Json(std::move(members));
      }
      Fail("',' or '}' expected");
      return std::nullopt;
    }
  }

  std::string_view m_text;
  int m_maxDepth;
  size_t m_at = 0;
  std::string m_error;
};

// Reads exactly size bytes; returns how many were read before the stream ended.
size_t ReadFully(int fd, char* into, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, into + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

std::string Write(const Json& value) {
  std::string out;
  WriteValue(out, value);
  return out;
}

std::optional<Json> Parse(std::string_view text, std::string& error, int maxDepth) {
  return Parser(text, maxDepth).Document(error);
}

std::optional<long> AsInteger(const Json& value) {
  const double* n = std::get_if<double>(&value.value);
  if (!n || *n != std::floor(*n) || std::fabs(*n) > 9e15) return std::nullopt;
  return static_cast<long>(*n);
}

std::string CheckFields(const Json& object, const std::vector<FieldRule>& rules) {
  const JsonObject* o = object.Object();
  if (!o) return "a message is a JSON object";
  for (const auto& [key, item] : *o) {
    const FieldRule* rule = nullptr;
    for (const FieldRule& r : rules)
      if (r.name == key) rule = &r;
    if (!rule) return "unknown field \"" + key + "\"";
    std::string name = "\"" + key + "\"";
    switch (rule->kind) {
      case Kind::kString: {
        const std::string* s = std::get_if<std::string>(&item.value);
        if (!s) return name + " must be a string";
        if (rule->maxLength && s->size() > rule->maxLength)
          return name + " is longer than " + std::to_string(rule->maxLength) + " bytes";
        break;
      }
      case Kind::kInteger: {
        std::optional<long> n = AsInteger(item);
        if (!n) return name + " must be an integer";
        if (*n < rule->min || *n > rule->max)
          return name + " must be from " + std::to_string(rule->min) + " to " +
                 std::to_string(rule->max);
        break;
      }
      case Kind::kBoolean:
        if (!std::holds_alternative<bool>(item.value)) return name + " must be true or false";
        break;
    }
  }
  for (const FieldRule& r : rules)
    if (r.required && !o->contains(r.name)) return "\"" + std::string(r.name) + "\" is missing";
  return {};
}

Frame ReadFrame(int fd, size_t limit, uint64_t skipLimit) {
  Frame frame;
  unsigned char header[4];
  size_t got = ReadFully(fd, reinterpret_cast<char*>(header), 4);
  if (got == 0) return frame;
  if (got < 4) {
    frame.status = FrameStatus::kTruncated;
    return frame;
  }
  frame.declared = static_cast<uint64_t>(header[0]) | static_cast<uint64_t>(header[1]) << 8 |
                   static_cast<uint64_t>(header[2]) << 16 | static_cast<uint64_t>(header[3]) << 24;
  if (frame.declared > limit) {
    if (frame.declared > skipLimit) {
      frame.status = FrameStatus::kUnreadable;
      return frame;
    }
    // Skipped in pieces, so a large message costs no more memory than a small one.
    char chunk[65536];
    uint64_t left = frame.declared;
    while (left > 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, sizeof chunk));
      size_t n = ReadFully(fd, chunk, want);
      left -= n;
      if (n < want) {
        frame.status = FrameStatus::kTruncated;
        return frame;
      }
    }
    frame.status = FrameStatus::kTooLarge;
    return frame;
  }
  frame.body.resize(static_cast<size_t>(frame.declared));
  if (ReadFully(fd, frame.body.data(), frame.body.size()) < frame.body.size()) {
    frame.body.clear();
    frame.status = FrameStatus::kTruncated;
    return frame;
  }
  frame.status = FrameStatus::kMessage;
  return frame;
}

bool WriteFrame(int fd, std::string_view body) {
  if (body.size() > 0xFFFFFFFFu) return false;
  auto size = static_cast<uint32_t>(body.size());
  std::string out;
  out.reserve(body.size() + 4);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((size >> (8 * i)) & 0xFF);
  out.append(body);
  size_t sent = 0;
  while (sent < out.size()) {
    ssize_t n = ::write(fd, out.data() + sent, out.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace nbclip::nm
