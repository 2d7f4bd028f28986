#include "shelvarymanager/controls.h"

// The window system's messages, with their Windows values.
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT LVM_DELETEALLITEMS = 0x1009;
constexpr UINT LVM_INSERTITEMW = 0x104D;
constexpr UINT LVIF_TEXT = 0x0001;

struct ShelvaryListItem {  // the leading fields of LVITEMW, in its layout
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
  int iGroupId;
  UINT cColumns;
  UINT* puColumns;
  int* piColFmt;
  int iGroup;
};

// Provided by the platform's window system. Weak, so the library loads (and reports that it has
// no window to fill) in a process without one.
__attribute__((weak, visibility("default"))) LRESULT SendMessageW(HWND hWnd, UINT msg,
                                                                  WPARAM wParam, LPARAM lParam);

namespace shelvary {

int FillComboBox(HWND combo, const BookList& books) {
  if (combo == nullptr || &::SendMessageW == nullptr) return SHELVARY_E_WINDOW;
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  int result = SHELVARY_OK;
  for (const CShelvaryInfo& book : books) {
    LRESULT row = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(book.GetTitle()));
    if (row < 0) result = SHELVARY_E_WINDOW;
  }
  return result;
}

int FillListCtrl(HWND listCtrl, const BookList& books) {
  if (listCtrl == nullptr || &::SendMessageW == nullptr) return SHELVARY_E_WINDOW;
  ::SendMessageW(listCtrl, LVM_DELETEALLITEMS, 0, 0);
  int result = SHELVARY_OK;
  for (size_t i = 0; i < books.size(); ++i) {
    ShelvaryListItem item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.iSubItem = 0;
    item.pszText = const_cast<LPWSTR>(books[i].GetTitle());
    LRESULT row = ::SendMessageW(listCtrl, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (row < 0) result = SHELVARY_E_WINDOW;
  }
  return result;
}

}  // namespace shelvary
