#include "toolbar/band/book_list_dialog.h"

#include "toolbar/band/book_dialog_helpers.h"
#include "toolbar/resources/resource.h"

namespace {
constexpr DWORD kListExtendedStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
constexpr int kTitleColumnWidth = 300;
constexpr UINT kSelectedAndFocused = LVIS_SELECTED | LVIS_FOCUSED;
}  // namespace

INT_PTR CBookListDialog::Show(HINSTANCE module, HWND owner) {
  instance = module;
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BOOK_LIST), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (listCtrl.GetSafeHwnd()) listCtrl.Detach();
  return result;
}

INT_PTR CBookListDialog::DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return reinterpret_cast<CBookListDialog*>(lParam)->OnInitDialog(dlg);
  auto* self = reinterpret_cast<CBookListDialog*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
  if (!self) return FALSE;
  if (msg == WM_NOTIFY && lParam) return self->OnNotify(dlg, *reinterpret_cast<NMHDR*>(lParam));
  if (msg == WM_COMMAND) return self->OnCommand(dlg, LOWORD(wParam));
  return FALSE;
}

BOOL CBookListDialog::OnInitDialog(HWND dlg) {
  listCtrl.Attach(GetDlgItem(dlg, IDC_BOOK_LIST));
  listCtrl.SetExtendedStyle(kListExtendedStyle);
  listCtrl.InsertColumn(0, toolbar::ResourceString(instance, IDS_TITLE_COLUMN).c_str(), LVCFMT_LEFT,
                        kTitleColumnWidth);
  if (bookList) bookList->UpDateListCtrl(&listCtrl);
  SelectRow(selectedIndex);
  listChanged = FALSE;
  toolbar::CentreOnDesktop(dlg);
  SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return TRUE;
}

BOOL CBookListDialog::OnNotify(HWND dlg, const NMHDR& header) {
  if (header.hwndFrom != listCtrl.GetSafeHwnd()) return TRUE;
  if (header.code == NM_CLICK) {
    // A click that leaves no row marked keeps the book that was selected, so the band is
    // never handed a row outside the list.
    int mark = listCtrl.GetSelectionMark();
    if (mark >= 0) selectedIndex = mark;
    return TRUE;
  }
  if (header.code == NM_RCLICK) {
    // The menu's items act on the selection mark, which the right click has set;
    // selectedIndex stays.
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_BOOK_MENU));
    if (HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr) {
      POINT at{};
      GetCursorPos(&at);
      TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, dlg, nullptr);
    }
    if (menu) DestroyMenu(menu);
    return TRUE;
  }
  return FALSE;
}

BOOL CBookListDialog::OnCommand(HWND dlg, WORD id) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dlg, id);
      return TRUE;
    case IDC_NEW_BOOK:
      NewBook(dlg);
      return TRUE;
    case ID_BOOK_VIEW:
      ViewBook(dlg);
      return TRUE;
    case ID_BOOK_DELETE:
      DeleteBook(dlg);
      return TRUE;
    default:
      return FALSE;
  }
}

void CBookListDialog::NewBook(HWND dlg) {
  bookInfo.SetBookList(bookList);
  bookInfo.PrepareNew(u"マイクリップ", u"マイクリップ", u"", u"");
  if (bookInfo.Show(instance, dlg) != IDOK || !bookList) return;
  bookList->AddNewInfo(bookInfo.GetTitle(), bookInfo.GetTitleRead(), bookInfo.GetAuthor(),
                       bookInfo.GetAuthorRead(), bookInfo.GetContentID(),
                       bookInfo.GetBookFilePath(), bookInfo.GetDesignFilePath());
  Refresh();
}

void CBookListDialog::ViewBook(HWND dlg) {
  int row = MarkedRow();
  if (row < 0) return;
  const CShelvaryInfo* book = bookList->GetInfo(row);
  bookInfo.PrepareView(book->GetTitle(), book->GetTitleRead(), book->GetAuthor(),
                       book->GetAuthorRead(), book->GetBookID(), book->GetNBKFileName(),
                       book->GetDesignFileName());
  bookInfo.Show(instance, dlg);
}

void CBookListDialog::DeleteBook(HWND dlg) {
  int row = MarkedRow();
  if (row < 0) return;
  if (listCtrl.GetItemCount() <= 1)
    toolbar::ToolbarMessageBox(instance, dlg, IDS_LIST_RESET, MB_OK);
  bookList->DeleteInfo(row);
  Refresh();
}

int CBookListDialog::MarkedRow() const {
  if (!bookList) return -1;
  int mark = listCtrl.GetSelectionMark();
  return mark >= 0 && mark < listCtrl.GetItemCount() ? mark : -1;
}

void CBookListDialog::Refresh() {
  bookList->UpDateListCtrl(&listCtrl);
  selectedIndex = bookList->GetCurrentIndex();
  SelectRow(selectedIndex);
  listChanged = TRUE;
}

void CBookListDialog::SelectRow(int row) const {
  // Row -1 would select every row.
  if (row >= 0) listCtrl.SetItemState(row, kSelectedAndFocused, kSelectedAndFocused);
}
