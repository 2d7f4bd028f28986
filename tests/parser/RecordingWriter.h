// A stand-in of the writer library for the engine's unit tests: every call made through the
// writer contract is recorded as one line ("P1.AddBlock(B3)"), so a test can compare the calls
// a page produced with the calls it should produce.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace recording {

// The calls of all books since the last Reset, in order.
std::vector<std::string>& Calls();
void Reset();
// The calls whose text contains one of the words, in order.
std::vector<std::string> Only(const std::vector<std::string>& words);
// Results the stand-in gives, changeable by a test.
struct Settings {
  int openResult = 0;
  int designResult = 0;
  int outputResult = 0;
  // What the parser gave the book to tell of a wait for another writer.
  std::function<void(const std::u16string&)> waitNotice;
};
Settings& Config();

}  // namespace recording
