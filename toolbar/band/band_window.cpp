// The band's visible part: a child of the band host holding a flat toolbar of four buttons, with
// the combo box of books in a gap between the third and the fourth; and its window procedure.
#include "toolbar/band/band_window.h"

#include <string>

#include "platform/win32/shell.h"
#include "toolbar/band/toolbar_band.h"
#include "toolbar/resources/resource.h"

namespace {

constexpr DWORD kBandWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | 0x4;
constexpr DWORD kToolbarStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_ALTDRAG |
                                TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_ADJUSTABLE;
constexpr DWORD kComboStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL;
constexpr int kBandWidth = 620;
constexpr int kBandHeight = 20;
constexpr int kSeparatorWidth = 170;  // the gap that carries the combo box
constexpr int kComboX = 265;
constexpr int kComboWidth = 160;
constexpr int kComboDroppedHeight = 100;

constexpr char16_t kBookListFolder[] = u"\\Vantor Corporation\\EnjoyNubra\\";
constexpr char16_t kBookListFile[] = u"ToolBar4NEval.xml";

// The book every list starts from, before the file is read.
struct DefaultBook {
  LPCWSTR title, titleRead, author, authorRead, bookID, nbkFileName;
};
constexpr DefaultBook kDefaultBook = {u"マイブック", u"マイブック",       u"",
                                      u"",           u"FBJPTB0000000001", u"マイブック.nbk"};

TBBUTTON Button(int bitmap, int command) {
  TBBUTTON b{};
  b.iBitmap = bitmap;
  b.idCommand = command;
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = TBSTYLE_BUTTON;
  return b;
}

// Registers the band window's class unless the module has it already.
bool RegisterBandClass(HINSTANCE module, WNDPROC procedure) {
  WNDCLASSW known{};
  if (GetClassInfoW(module, toolbar::kBandWindowClass, &known)) return true;
  WNDCLASSW wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = toolbar::kBandWindowClass;
  return RegisterClassW(&wc) != 0;
}

// The folder of the book list file, with its closing separator; empty when the user's
// application-data folder cannot be had, so the file name stands alone.
std::u16string BookListFolder() {
  WCHAR appData[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData))) {
    return {};
  }
  return std::u16string(appData) + kBookListFolder;
}

}  // namespace

bool CToolbarBand::CreateBandWindow() {
  // 1.
  if (bandWindow) return true;
  if (!parentWindow) return false;
  HINSTANCE module = toolbar::ModuleInstance();

  // 2. The class, once per module.
  if (!RegisterBandClass(module, &CToolbarBand::WindowProc)) return false;

  // 3.
  RECT host{};
  GetClientRect(parentWindow, &host);
  InitCommonControls();

  // 4. WM_NCCREATE sets bandWindow.
  CreateWindowExW(WS_EX_STATICEDGE, toolbar::kBandWindowClass, nullptr, kBandWindowStyle, host.left,
                  host.top, kBandWidth, kBandHeight, parentWindow, nullptr, module, this);
  if (!bandWindow) return false;

  // 5. The buttons; the array is read with the size of the structure as this build lays it out.
  const TBBUTTON buttons[] = {Button(0, ID_ADD_PAGE), Button(1, ID_OPEN_BOOK),
                              Button(2, ID_MANAGE_BOOKS), Button(3, ID_SHOW_HELP)};
  HWND toolbarControl = CreateToolbarEx(bandWindow, kToolbarStyle, IDC_TOOLBAR, 4, module,
                                        IDB_TOOLBAR, buttons, 4, 0, 0, 80, 20, sizeof(TBBUTTON));

  // 6. The gap before the help button.
  TBBUTTON separator{};
  separator.iBitmap = kSeparatorWidth;
  separator.fsState = TBSTATE_ENABLED;
  separator.fsStyle = TBSTYLE_SEP;
  SendMessageW(toolbarControl, TB_INSERTBUTTONW, 3, reinterpret_cast<LPARAM>(&separator));

  // 7. The placeholder in the gap, as high as the buttons.
  RECT button{};
  SendMessageW(toolbarControl, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&button));
  HWND placeholder =
      CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, kComboX, button.top, kComboWidth,
                      button.bottom, toolbarControl, nullptr, module, nullptr);

  // 8.
  HWND combo = CreateWindowExW(
      0, u"COMBOBOX", u"TB4N_COMBO", kComboStyle, 0, 2, kComboWidth, kComboDroppedHeight,
      placeholder, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BOOK_COMBO)), module, nullptr);
  bookCombo.Attach(combo);

  // 9, 10. The book list; a missing or unreadable file leaves the default book.
  std::u16string folder = BookListFolder();
  bookList.SetDefaultInfo(kDefaultBook.title, kDefaultBook.titleRead, kDefaultBook.author,
                          kDefaultBook.authorRead, kDefaultBook.bookID, kDefaultBook.nbkFileName);
  bookList.Read((folder + kBookListFile).c_str());
  bookList.SetCurrentIndex(bookIndex);
  bookList.SetUpComboBox(&bookCombo);

  // 11, 12.
  bookCombo.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  bookList.GetCurrentInfo();
  bookCombo.SetCurSel(bookIndex);

  // 13.
  return bandWindow != nullptr;
}

LRESULT CToolbarBand::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* band = reinterpret_cast<CToolbarBand*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      band = static_cast<CToolbarBand*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      // The whole pointer: a 32-bit slot would cut it on this platform.
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(band));
      if (band) band->bandWindow = hwnd;
      break;
    }
    case WM_NCDESTROY:
      // Destroyed by its host without CloseDW: the band must not keep a dead handle.
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (band && band->bandWindow == hwnd) band->bandWindow = nullptr;
      break;
    case WM_SIZE:
      return 0;
    case WM_SETFOCUS:
      if (band) band->SetFocusState(TRUE);
      return 0;
    case WM_KILLFOCUS:
      if (band) band->SetFocusState(FALSE);
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header && header->code == TTN_NEEDTEXTW) {
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        tip->hinst = toolbar::ModuleInstance();
        switch (header->idFrom) {
          case ID_ADD_PAGE:
            tip->lpszText = MAKEINTRESOURCEW(IDS_TIP_ADD_PAGE);
            break;
          case ID_OPEN_BOOK:
            tip->lpszText = MAKEINTRESOURCEW(IDS_TIP_OPEN_BOOK);
            break;
          case ID_MANAGE_BOOKS:
            tip->lpszText = MAKEINTRESOURCEW(IDS_TIP_MANAGE_BOOKS);
            break;
          case ID_SHOW_HELP:
            tip->lpszText = MAKEINTRESOURCEW(IDS_TIP_HELP);
            break;
          default:
            break;
        }
      }
      return 0;
    }
    case WM_COMMAND:
      return band ? band->OnCommand(wParam, lParam) : 0;
    default:
      break;
  }
  // No quit message at WM_DESTROY: this thread's loop is the browser's own.
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
