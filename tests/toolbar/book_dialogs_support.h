// The book management dialogs on their own: their sources built into the test program, the
// toolbar's resources declared for a module of the test's, a clock the test sets, designs
// installed in the common folder and a book list in a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "contracts/ShelvaryManager.h"
#include "platform/win32/ui/automation.h"
#include "platform/win32/windows.h"
#include "toolbar/band/book_info_dialog.h"
#include "toolbar/band/book_list_dialog.h"

namespace dlgtest {

HINSTANCE Module();
std::string Utf8(std::u16string_view text);
std::u16string Wide(const std::string& text);

// The designs folder the dialogs list, with its trailing separator, as the platform gives it.
std::u16string DesignsFolder();
std::u16string DocumentsFolder();
// Places a design file "<name>.nbk".
void InstallDesign(const std::string& name);

// The clock stands at the given local time while a test runs.
void SetClock(int year, int month, int day, int hour, int minute, int second);

class DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // A book list in a fresh file, holding the default entry and then the given titles.
  CShelvaryManager& List(const std::vector<std::u16string>& titles = {});
  // The texts of the message boxes shown so far.
  std::vector<std::u16string> Messages() const;

  std::filesystem::path folder_;
  std::unique_ptr<CShelvaryManager> list_;
  std::filesystem::path listFile_;  // the file of the last List()
  int lists_ = 0;
  std::string oldDocuments_;
};

}  // namespace dlgtest
