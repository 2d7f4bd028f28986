// Shared pieces of the writer's tests: a scratch folder per test, small image files, the
// sample book the golden dumps are made from, and golden-file comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "contracts/NBKCreator.h"

namespace nbktest {

// A fresh folder under the test's own temporary folder, removed afterwards.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  std::u16string WPath(const std::string& name) const;
  std::string m_dir;
};

std::u16string W(const std::string& utf8);
std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::string> ListDir(const std::string& dir);

std::vector<std::uint8_t> MakePng(std::uint32_t w, std::uint32_t h, std::uint8_t seed = 0);
std::vector<std::uint8_t> MakeJpeg(std::uint16_t w, std::uint16_t h);
std::vector<std::uint8_t> MakeGif(std::uint16_t w, std::uint16_t h);
std::vector<std::uint8_t> MakeBmp(std::int32_t w, std::int32_t h);

// Writes the sample book (three pages with every kind of content) at path; images go to dir.
void WriteSampleBook(const std::string& path, const std::string& dir);
// Appends one page of text to the book at path, its table-of-contents entry titled title (the
// text itself when not given).
int AppendPage(const std::string& path, const std::u16string& text);
int AppendPage(const std::string& path, const std::u16string& text, const std::u16string& title);

// The dump text (or "error: ...") of the book at path.
std::string Dump(const std::string& path, bool json = false);
// Compares text with tests/data/nbkcreator/name; NBK_REBASELINE=1 rewrites the file instead.
void ExpectGolden(const std::string& name, const std::string& text);

}  // namespace nbktest
