#include "tests/toolbar/book_dialogs_support.h"

#include <fstream>

#include "tests/platform_com/temp_env.h"
#include "toolbar/resources/embedded.h"

namespace dlgtest {

namespace {
SYSTEMTIME testTime{};
void TestClock(SYSTEMTIME* out) {
  *out = testTime;
}
}  // namespace

HINSTANCE Module() {
  return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x6B000000));
}

std::string Utf8(std::u16string_view text) {
  return platform::text::Utf16ToUtf8(text);
}
std::u16string Wide(const std::string& text) {
  return platform::text::Utf8ToUtf16(text);
}

std::u16string DesignsFolder() {
  return Wide((nbtest::TempHome::Root() / "common").string()) +
         u"\\Vantor Shared\\EnjoyNubra\\Designs\\";
}

std::u16string DocumentsFolder() {
  return Wide(getenv("XDG_DOCUMENTS_DIR"));
}

void InstallDesign(const std::string& name) {
  auto dir = nbtest::TempHome::Root() / "common" / "Vantor Shared" / "EnjoyNubra" / "Designs";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / (name + ".nbk")) << "design";
}

void SetClock(int year, int month, int day, int hour, int minute, int second) {
  testTime = SYSTEMTIME{static_cast<WORD>(year),
                        static_cast<WORD>(month),
                        0,
                        static_cast<WORD>(day),
                        static_cast<WORD>(hour),
                        static_cast<WORD>(minute),
                        static_cast<WORD>(second),
                        0};
  CBookInfoDialog::SetClock(TestClock);
}

void DialogTest::SetUpTestSuite() {
  ASSERT_TRUE(RegisterToolBar4NResources(Module()));
}

void DialogTest::SetUp() {
  platform::ui::ResetAutomation();
  // Every message box is recorded and answered with its default button.
  platform::ui::SetMessageBoxHandler([](const platform::ui::MessageBoxRecord&) { return IDOK; });
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder_ = nbtest::TempHome::Root() / "cases" / info->test_suite_name() / info->name();
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_ / "docs");
  oldDocuments_ = getenv("XDG_DOCUMENTS_DIR");
  setenv("XDG_DOCUMENTS_DIR", (folder_ / "docs").c_str(), 1);
  SetClock(2024, 3, 5, 9, 7, 4);
  // Each test installs the designs it needs.
  std::filesystem::remove_all(nbtest::TempHome::Root() / "common" / "Vantor Shared");
}

void DialogTest::TearDown() {
  CBookInfoDialog::SetClock(nullptr);
  setenv("XDG_DOCUMENTS_DIR", oldDocuments_.c_str(), 1);
  platform::ui::ResetAutomation();
}

CShelvaryManager& DialogTest::List(const std::vector<std::u16string>& titles) {
  list_ = std::make_unique<CShelvaryManager>();
  list_->SetDefaultInfo(u"マイクリップ", u"マイクリップ", u"", u"", u"FBJPNP0000000000",
                        u"default.nbk");
  listFile_ = folder_ / ("list" + std::to_string(++lists_)) / "books.xml";
  list_->Read(Wide(listFile_.string()).c_str());
  int n = 0;
  for (const std::u16string& title : titles) {
    std::u16string id = u"FBJPNP00000000" + Wide(std::to_string(10 + n++));
    list_->AddNewInfo(title.c_str(), u"ヨミ", u"著者", u"チョシャ", id.c_str(),
                      (u"/books/" + id + u".nbk").c_str(), u"/designs/Standard.nbk");
  }
  return *list_;
}

std::vector<std::u16string> DialogTest::Messages() const {
  std::vector<std::u16string> out;
  for (const auto& box : platform::ui::MessageBoxes()) out.push_back(box.text);
  return out;
}

}  // namespace dlgtest
