// The band window's commands: the toolbar's buttons and the selection the combo box forwards.
#include <string>

#include "contracts/NBKCreator.h"
#include "parser/facade/NBParser.h"
#include "platform/mshtml/mshtml.h"
#include "platform/win32/htmlhelp.h"
#include "platform/win32/windows.h"
#include "toolbar/band/toolbar_band.h"
#include "toolbar/resources/resource.h"

namespace {

constexpr WORD kDroppedNotification = 7;
constexpr WCHAR kHelpFileName[] = u"ToolbarForNubra.chm";
// Where the HTML Help control registers itself.
constexpr char kHelpControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr int kMessageChars = 520;

std::u16string ResourceString(UINT id) {
  WCHAR text[kMessageChars];
  int length = LoadStringW(toolbar::ModuleInstance(), id, text, kMessageChars);
  return std::u16string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

void Tell(HWND owner, const std::u16string& text) {
  MessageBoxW(owner, text.c_str(), ResourceString(IDS_CAPTION).c_str(), MB_OK);
}

// The page could not go into the book: short of space, or for any other reason.
void TellNotAdded(HWND owner, int result) {
  Tell(owner, ResourceString(result == NBK_ERR_DISK_FULL ? IDS_DISK_FULL : IDS_PAGE_NOT_ADDED));
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Whether the ANSI code page holds the character text (one code point) as it is.
bool AnsiHolds(std::u16string_view text) {
  if (text[0] < 0x80) return true;
  if (GetACP() == CP_UTF8) return !IsHighSurrogate(text[0]) && !IsLowSurrogate(text[0]);
  char bytes[16];
  BOOL usedDefault = FALSE;
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes,
                                   sizeof bytes, nullptr, &usedDefault);
  return length > 0 && !usedDefault;
}

// The address in the ANSI code page. What the code page cannot hold is written first as UTF-8
// percent escapes, as an address may carry any character, so the address stays exact.
std::string AnsiAddress(const std::u16string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::u16string escaped;
  for (size_t at = 0; at < url.size();) {
    size_t units =
        IsHighSurrogate(url[at]) && at + 1 < url.size() && IsLowSurrogate(url[at + 1]) ? 2 : 1;
    std::u16string_view one(url.data() + at, units);
    if (AnsiHolds(one)) {
      escaped += one;
    } else {
      for (unsigned char byte : platform::com::Utf16ToUtf8(one)) {
        escaped += u'%';
        escaped += static_cast<char16_t>(kHex[byte >> 4]);
        escaped += static_cast<char16_t>(kHex[byte & 15]);
      }
    }
    at += units;
  }
  // The code page says how long its text is, so the buffer fits its longest characters.
  int size = WideCharToMultiByte(CP_ACP, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, escaped.c_str(), -1, ansi.data(), size, nullptr, nullptr);
  ansi.resize(ansi.find('\0'));
  return ansi;
}

// HtmlHelpW, looked up once for the process: the control registered under HKCR, else the
// platform's own "hhctrl.ocx". After a failure every call gives null at once.
PFNHTMLHELPW HtmlHelpFunction() {
  static bool tried = false;
  static PFNHTMLHELPW function = nullptr;
  if (tried) return function;
  tried = true;
  HMODULE library = nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHelpControlKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char path[MAX_PATH] = {};
    DWORD size = sizeof path - 1, type = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ && path[0]) {
      library = LoadLibraryA(path);
    }
    RegCloseKey(key);
  }
  if (!library) library = LoadLibraryA("hhctrl.ocx");
  if (!library) return nullptr;
  function =
      reinterpret_cast<PFNHTMLHELPW>(GetProcAddress(library, MAKEINTRESOURCEA(kHtmlHelpOrdinal)));
  return function;
}

}  // namespace

LRESULT CToolbarBand::OnCommand(WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) == kDroppedNotification) return 0;
  switch (LOWORD(wParam)) {
    case ID_ADD_PAGE:
      AddShownPage();
      break;
    case ID_OPEN_BOOK:
      HandBookToReader();
      break;
    case ID_SHOW_HELP:
      ShowHelp();
      break;
    case ID_BOOK_SELECTED:
      if (HIWORD(wParam) == 1) FollowComboSelection();
      break;
    case ID_MANAGE_BOOKS:
      ManageBooks();
      break;
    default:
      break;
  }
  return 0;
}

void CToolbarBand::AddShownPage() {
  // 1. The busy pointer for the rest of the command.
  SetCursor(static_cast<HCURSOR>(LoadImageW(toolbar::ModuleInstance(), MAKEINTRESOURCEW(IDI_BUSY),
                                            IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE)));
  // A site that gave no browser shows no page.
  if (!browser) return;

  // 2. The page's address; freed on every way out.
  BStr url;
  if (FAILED(browser->get_LocationURL(&url))) return;

  // 3. The document, when the browser has one that offers IHTMLDocument2.
  ComPtr<IDispatch> dispatch;
  ComPtr<IHTMLDocument2> document;
  if (browser->get_Document(&dispatch) == S_OK && dispatch) {
    if (dispatch->QueryInterface(IID_IHTMLDocument2, document.ReleaseAndGetVoidAddress()) != S_OK)
      document.Reset();
  }

  // 4 to 6. The current book's metadata, straight from the entry.
  CShelvaryInfo* info = bookList.GetCurrentInfo();
  auto parser = std::make_unique<CNBParser>();
  auto wide = [](LPCWSTR text) { return reinterpret_cast<const unsigned short*>(text); };
  parser->SetBookTitle(wide(info->GetTitle()));
  parser->SetBookTitle_read(wide(info->GetTitleRead()));
  parser->SetBookAuthor(wide(info->GetAuthor()));
  parser->SetBookAuthor_read(wide(info->GetAuthorRead()));
  parser->SetBookID(wide(info->GetBookID()));
  parser->SetNBKFileName(wide(info->GetNBKFileName()));
  parser->SetDesignFileName(wide(info->GetDesignFileName()));

  // 7. The book, made when it does not exist yet.
  int result = parser->OpenBook();
  if (result < 0) {
    Tell(bandWindow, ResourceString(result == NBK_ERR_DISK_FULL ? IDS_DISK_FULL : IDS_OPEN_FAILED));
    parser->AffairBook();
    return;
  }

  // 8. The page, from the document or else loaded again from its address.
  if (document) {
    result = parser->AddPage(document.Get(), 0, nullptr);
    document.Reset();
    dispatch.Reset();
  } else {
    std::string ansi;
    if (url) ansi = AnsiAddress(url.Str());
    result = parser->AddPage(url ? ansi.data() : static_cast<char*>(nullptr), 0, nullptr);
  }
  // A page that failed leaves the book as it was, rather than adding an empty page to it.
  if (result < 0) {
    parser->AffairBook();
    parser.reset();
    TellNotAdded(bandWindow, result);
    return;
  }

  // 9. The book written out; only then is the page saved.
  result = parser->FinalizeBook();
  parser.reset();
  if (result < 0) {
    TellNotAdded(bandWindow, result);
    return;
  }
  Tell(bandWindow, ResourceString(IDS_SAVED));
}

void CToolbarBand::HandBookToReader() {
  CShelvaryInfo* info = bookList.GetCurrentInfo();
  LPCWSTR file = info->GetNBKFileName();
  WIN32_FIND_DATAW found{};
  bool made = false;
  HANDLE search = FindFirstFileW(file, &found);
  if (search != INVALID_HANDLE_VALUE) {
    made = found.nFileSizeHigh != 0 || found.nFileSizeLow != 0;
    FindClose(search);
  }
  if (!made) {
    // The format takes the title as text, never as a format of its own.
    std::u16string text = ResourceString(IDS_BOOK_NOT_MADE);
    if (size_t at = text.find(u"%s"); at != std::u16string::npos)
      text.replace(at, 2, info->GetTitle());
    Tell(bandWindow, text);
    return;
  }
  // The reader's PC software is reached through the book file's association.
  auto opened = reinterpret_cast<INT_PTR>(
      ShellExecuteW(bandWindow, u"open", file, nullptr, nullptr, SW_SHOW));
  if (opened <= 32) AfxMessageBox(IDS_READER_NOT_FOUND, MB_ICONHAND);
}

void CToolbarBand::ShowHelp() {
  WCHAR path[MAX_PATH] = {};
  WCHAR help[MAX_PATH] = {};
  GetModuleFileNameW(toolbar::ModuleInstance(), path, MAX_PATH);
  PathRemoveFileSpecW(path);
  PathCombineW(help, path, kHelpFileName);
  PFNHTMLHELPW htmlHelp = HtmlHelpFunction();
  HWND viewer = htmlHelp ? htmlHelp(nullptr, help, HH_DISPLAY_TOPIC, 0) : nullptr;
  if (!viewer) Tell(bandWindow, ResourceString(IDS_HELP_NOT_FOUND));
}

// The book list and the remembered row move together, so the book management dialog opens on
// the book the combo box shows.
void CToolbarBand::FollowComboSelection() {
  int row = bookCombo.GetCurSel();
  bookList.SetCurrentIndex(row);
  bookIndex = row;
  bookList.GetCurrentInfo();
}
