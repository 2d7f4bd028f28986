// The native messaging wire: JSON read and written, requests' fields checked, frames read from a
// pipe, including the ones that end early or are too large.
#include "apps/nbclip/native_messaging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace nm = nbclip::nm;

namespace {

TEST(NativeMessagingJson, ReadsAndWritesBack) {
  struct Case {
    std::string text, written;
  };
  const Case cases[] = {
      {R"({"b":[1,2.5,-3e2],"a":"x"})", R"({"a":"x","b":[1,2.5,-300]})"},
      {R"( {"s":"\"\\\n\u00e9\ud83d\ude00\u0001"} )",
       "{\"s\":\"\\\"\\\\\\n\xC3\xA9\xF0\x9F\x98\x80\\u0001\"}"},
      {"[true,false,null,{}]", "[true,false,null,{}]"},
      {"\"\xE6\x9B\xB8\"", "\"\xE6\x9B\xB8\""},
      {"0", "0"},
  };
  for (const Case& c : cases) {
    std::string error;
    auto value = nm::Parse(c.text, error);
    ASSERT_TRUE(value) << c.text << ": " << error;
    EXPECT_EQ(nm::Write(*value), c.written) << c.text;
  }
}

TEST(NativeMessagingJson, RefusesWhatIsNotJson) {
  const std::string cases[] = {
      "",
      "{",
      "{\"a\":1,}",
      "[1 2]",
      "{\"a\":1}x",
      "{\"a\":1,\"a\":2}",  // a name twice
      "\"\xC3\"",           // cut UTF-8
      "\"\xC0\xAF\"",       // overlong UTF-8
      "\"\xED\xA0\x80\"",   // a surrogate in UTF-8
      "\"\\ud800\"",        // a lone surrogate escaped
      "\"a\tb\"",           // a raw control character
      "01",
      "1e999",
      "nul",
      std::string(100, '[') + std::string(100, ']'),  // too deep
  };
  for (const std::string& text : cases) {
    std::string error;
    EXPECT_FALSE(nm::Parse(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(NativeMessagingJson, ChecksFieldsByKindAndBound) {
  const std::vector<nm::FieldRule> rules = {
      {"id", nm::Kind::kInteger, true, 0, 0, 100},
      {"name", nm::Kind::kString, true, 4},
      {"flag", nm::Kind::kBoolean, false},
  };
  struct Case {
    std::string text, error;  // empty error: accepted
  };
  const Case cases[] = {
      {R"({"id":1,"name":"abcd"})", ""},
      {R"({"id":1,"name":"abcd","flag":true})", ""},
      {R"({"id":1})", "\"name\" is missing"},
      {R"({"id":1.5,"name":"a"})", "\"id\" must be an integer"},
      {R"({"id":101,"name":"a"})", "\"id\" must be from 0 to 100"},
      {R"({"id":"1","name":"a"})", "\"id\" must be an integer"},
      {R"({"id":1,"name":"abcde"})", "\"name\" is longer than 4 bytes"},
      {R"({"id":1,"name":"a","flag":1})", "\"flag\" must be true or false"},
      {R"({"id":1,"name":"a","path":"/etc"})", "unknown field \"path\""},
      {R"([1])", "a message is a JSON object"},
  };
  for (const Case& c : cases) {
    std::string error;
    auto value = nm::Parse(c.text, error);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(nm::CheckFields(*value, rules), c.error) << c.text;
  }
}

std::string Header(uint32_t size) {
  std::string h(4, '\0');
  for (int i = 0; i < 4; ++i) h[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return h;
}

// Frames read from a pipe fed with bytes by another thread, as a browser writes them.
std::vector<nm::Frame> ReadAll(const std::string& bytes, size_t limit, uint64_t skipLimit) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = write(fds[1], bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    close(fds[1]);
  });
  std::vector<nm::Frame> frames;
  while (true) {
    nm::Frame f = nm::ReadFrame(fds[0], limit, skipLimit);
    bool last = f.status == nm::FrameStatus::kEnd || f.status == nm::FrameStatus::kTruncated ||
                f.status == nm::FrameStatus::kUnreadable;
    frames.push_back(std::move(f));
    if (last) break;
  }
  close(fds[0]);
  writer.join();
  return frames;
}

TEST(NativeMessagingFrames, ReadInStepThroughTooLargeAndShortFrames) {
  using S = nm::FrameStatus;
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<S> statuses;
    std::vector<std::string> bodies;  // of the kMessage frames, in order
  };
  const std::string big(200000, 'x');
  const Case cases[] = {
      {"two messages",
       Header(2) + "{}" + Header(3) + "[1]",
       {S::kMessage, S::kMessage, S::kEnd},
       {"{}", "[1]"}},
      {"an empty message", Header(0), {S::kMessage, S::kEnd}, {""}},
      {"too large, skipped, then the next one",
       Header(static_cast<uint32_t>(big.size())) + big + Header(2) + "{}",
       {S::kTooLarge, S::kMessage, S::kEnd},
       {"{}"}},
      {"beyond what may be skipped", Header(0x7FFFFFFF) + "xx", {S::kUnreadable}, {}},
      {"the header cut", std::string("\x02\x00", 2), {S::kTruncated}, {}},
      {"the body cut", Header(10) + "{}", {S::kTruncated}, {}},
      {"too large and cut", Header(300000) + big, {S::kTruncated}, {}},
  };
  for (const Case& c : cases) {
    std::vector<nm::Frame> frames = ReadAll(c.bytes, 1000, 1u << 20);
    std::vector<S> statuses;
    std::vector<std::string> bodies;
    for (const nm::Frame& f : frames) {
      statuses.push_back(f.status);
      if (f.status == S::kMessage) bodies.push_back(f.body);
    }
    EXPECT_EQ(statuses, c.statuses) << c.name;
    EXPECT_EQ(bodies, c.bodies) << c.name;
  }
}

TEST(NativeMessagingFrames, WrittenFrameReadsBack) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_TRUE(nm::WriteFrame(fds[1], "{\"ok\":true}"));
  close(fds[1]);
  nm::Frame f = nm::ReadFrame(fds[0], 100, 100);
  close(fds[0]);
  EXPECT_EQ(f.status, nm::FrameStatus::kMessage);
  EXPECT_EQ(f.body, "{\"ok\":true}");
  EXPECT_EQ(f.declared, 11u);
}

}  // namespace
