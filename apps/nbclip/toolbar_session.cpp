#include "apps/nbclip/toolbar_session.h"

#include <algorithm>
#include <charconv>
#include <iostream>

#include "apps/nbclip/browser/browser.h"
#include "apps/nbclip/page_fetch.h"
#include "platform/win32/ui/ui.h"

namespace nbclip {

namespace {

// The first button of our toolbar; a band whose toolbar has it is ours.
constexpr int kAddPageCommand = 1000;

std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}

void PrintMessageBox(const platform::ui::MessageBoxRecord& box) {
  std::string text = U8(box.text);
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 3)
    text.replace(at, 1, "\n  ");
  std::cout << "message \"" << U8(box.caption) << "\": " << text << "\n";
}

bool HasButton(HWND toolbar, int commandId) {
  return toolbar &&
         SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(commandId), 0) >= 0;
}

}  // namespace

bool LoadShownPage(const std::string& who, const std::string& page, bool withDocument,
                   std::u16string& address, ComPtr<IHTMLDocument2>& document) {
  address = AddressOf(page);
  document.Reset();
  if (!withDocument) return true;
  Reporter reporter{who, true};
  auto fetch = std::make_shared<PageFetch>();
  fetch->webOnly = IsWebAddress(address);
  fetch->reporter = &reporter;
  platform::mshtml::LoadOptions options;
  options.fetch = FetcherOf(fetch);
  if (FAILED(platform::mshtml::LoadDocument(address, options, &document)) || !document) {
    std::cerr << who << ": cannot load " << page << "\n";
    return false;
  }
  BSTR url = nullptr;
  if (SUCCEEDED(document->get_URL(&url)) && url && *url) address = url;
  SysFreeString(url);
  return true;
}

ToolbarSession::ToolbarSession(std::string who) : m_who(std::move(who)) {}

ToolbarSession::~ToolbarSession() {
  Close();
}

bool ToolbarSession::Open() {
  if (m_browser) return m_band != nullptr;
  if (RegisteredToolbars().empty()) {
    std::cerr << m_who << ": no toolbar is registered; run `nbclip register` first\n";
    return false;
  }
  CoInitialize(nullptr);
  m_comInitialized = true;
  m_previousHandler =
      platform::ui::SetMessageBoxHandler([this](const platform::ui::MessageBoxRecord& box) {
        m_messages.push_back(box);
        PrintMessageBox(box);
        return IDOK;
      });
  m_browser = std::make_unique<Browser>();
  for (const BandFailure& f : m_browser->OpenBands()) {
    std::cerr << m_who << ": the toolbar " << U8(f.toolbar.clsid) << " cannot be shown (" << f.step
              << " failed)\n";
  }
  platform::ui::PumpMessages();
  for (const HostedBand& hosted : m_browser->Bands()) {
    HWND toolbar = platform::ui::FindWindowByClass(u"ToolbarWindow32", hosted.window);
    if (!HasButton(toolbar, kAddPageCommand)) continue;
    m_band = hosted.window;
    m_toolbar = toolbar;
    m_combo = platform::ui::FindWindowByClass(u"COMBOBOX", hosted.window);
    return true;
  }
  std::cerr << m_who << ": the toolbar for Nubra is not shown; run `nbclip register` first\n";
  Close();
  return false;
}

bool ToolbarSession::ShowPage(const std::string& page, bool withDocument) {
  if (!m_browser) return false;
  std::u16string address;
  ComPtr<IHTMLDocument2> document;
  if (!LoadShownPage(m_who, page, withDocument, address, document)) return false;
  std::cout << "page: " << U8(address) << (document ? "" : " (no document)") << "\n";
  m_browser->Show(std::move(address), std::move(document));
  platform::ui::PumpMessages();
  return true;
}

void ToolbarSession::ShowLoaded(std::u16string address, ComPtr<IHTMLDocument2> document) {
  if (!m_browser) return;
  m_browser->Show(std::move(address), std::move(document));
  platform::ui::PumpMessages();
}

void ToolbarSession::Close() {
  if (m_browser) {
    m_browser->CloseBands();
    m_browser.reset();
    platform::ui::PumpMessages();
  }
  m_band = m_toolbar = m_combo = nullptr;
  if (m_comInitialized) {
    platform::ui::SetMessageBoxHandler(std::move(m_previousHandler));
    m_previousHandler = nullptr;
    CoUninitialize();
    m_comInitialized = false;
  }
}

int ToolbarSession::BookCount() const {
  return m_combo ? static_cast<int>(SendMessageW(m_combo, CB_GETCOUNT, 0, 0)) : 0;
}

int ToolbarSession::SelectedBook() const {
  return m_combo ? static_cast<int>(SendMessageW(m_combo, CB_GETCURSEL, 0, 0)) : -1;
}

std::u16string ComboRowText(HWND combo, int row) {
  if (!combo) return {};
  auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length < 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

std::u16string ToolbarSession::BookTitle(int row) const {
  return ComboRowText(m_combo, row);
}

bool ToolbarSession::PickBook(std::string_view book) {
  int count = BookCount();
  int row = -1, number = 0;
  auto [end, error] = std::from_chars(book.data(), book.data() + book.size(), number);
  if (error == std::errc() && end == book.data() + book.size()) {
    if (number >= 1 && number <= count) row = number - 1;
  } else {
    std::u16string title = platform::com::Utf8ToUtf16(book);
    for (int i = 0; i < count && row < 0; ++i)
      if (BookTitle(i) == title) row = i;
  }
  if (row < 0) {
    std::cerr << m_who << ": no book \"" << book << "\" in the toolbar's list (" << count
              << (count == 1 ? " book" : " books") << ")\n";
    return false;
  }
  if (!platform::ui::SelectComboRow(m_combo, row)) {
    std::cerr << m_who << ": the book list does not take row " << row + 1 << "\n";
    return false;
  }
  std::cout << "book: " << row + 1 << " " << U8(BookTitle(row)) << "\n";
  return true;
}

bool ToolbarSession::PressButton(int commandId) {
  if (!platform::ui::ClickToolbarButton(m_toolbar, commandId)) {
    std::cerr << m_who << ": the toolbar has no button " << commandId << " to press\n";
    return false;
  }
  return true;
}

std::vector<platform::ui::MessageBoxRecord> ToolbarSession::TakeNewMessages() {
  std::vector<platform::ui::MessageBoxRecord> fresh(m_messages.begin() + static_cast<long>(m_taken),
                                                    m_messages.end());
  m_taken = m_messages.size();
  return fresh;
}

const SessionCommandEntry* FindSessionCommand(std::string_view name) {
  for (const SessionCommandEntry& entry : SessionCommands())
    if (entry.name == name) return &entry;
  return nullptr;
}

int RunInSession(std::string_view name, Args args) {
  const SessionCommandEntry* entry = FindSessionCommand(name);
  if (!entry) return kExitUsage;
  ToolbarSession session("nbclip " + std::string(name));
  int status = entry->run(session, args);
  session.Close();
  return status;
}

}  // namespace nbclip
