// The wire of a browser's native messaging: each message is a 4-byte little-endian length and
// that many bytes of UTF-8 JSON. A small JSON value, its reader and writer, and the frame reader,
// kept apart from the host so they can be tested on their own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace nbclip::nm {

struct Json;
using JsonArray = std::vector<Json>;
using JsonObject = std::map<std::string, Json, std::less<>>;

struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> value;

  Json() : value(nullptr) {}
  Json(std::nullptr_t) : value(nullptr) {}
  Json(bool b) : value(b) {}
  Json(int n) : value(static_cast<double>(n)) {}
  Json(long n) : value(static_cast<double>(n)) {}
  Json(double n) : value(n) {}
  Json(std::string s) : value(std::move(s)) {}
  Json(const char* s) : value(std::string(s)) {}
  Json(JsonArray a) : value(std::move(a)) {}
  Json(JsonObject o) : value(std::move(o)) {}

  bool IsObject() const { return std::holds_alternative<JsonObject>(value); }
  const JsonObject* Object() const { return std::get_if<JsonObject>(&value); }
  const Json* Find(std::string_view key) const;
};

// The text of value, compact; strings are escaped so the result is plain ASCII-safe JSON.
std::string Write(const Json& value);

// Reads text as one JSON value; nullopt with error set when it is not JSON, is not UTF-8, nests
// deeper than maxDepth or has text after the value.
std::optional<Json> Parse(std::string_view text, std::string& error, int maxDepth = 32);

// The fields a request may carry and their kinds; anything else is refused.
enum class Kind { kString, kInteger, kBoolean };
struct FieldRule {
  std::string_view name;
  Kind kind;
  bool required;
  size_t maxLength = 0;   // strings: bytes; 0 = the message's own bound
  long min = 0, max = 0;  // integers, inclusive
};
// Empty when object has exactly the fields of rules (required ones present), each of its kind
// and within its bounds; else what is wrong, to be told to the sender.
std::string CheckFields(const Json& object, const std::vector<FieldRule>& rules);
// The integer in value, when it is a number without a fraction within the long range.
std::optional<long> AsInteger(const Json& value);

// One frame read from a stream of bytes.
enum class FrameStatus {
  kMessage,     // body holds the message
  kEnd,         // the stream ended cleanly before a new frame
  kTruncated,   // the stream ended inside a frame
  kTooLarge,    // the frame was larger than the limit; its bytes were skipped, the stream is
                // still in step (declared holds its length)
  kUnreadable,  // the frame is too large even to skip; the stream cannot be trusted further
};
struct Frame {
  FrameStatus status = FrameStatus::kEnd;
  std::string body;
  uint64_t declared = 0;
};

// Reads from a file descriptor. limit bounds a message kept; skipLimit bounds one skipped.
Frame ReadFrame(int fd, size_t limit, uint64_t skipLimit);
// Writes body as one frame; false when the stream is closed.
bool WriteFrame(int fd, std::string_view body);

}  // namespace nbclip::nm
