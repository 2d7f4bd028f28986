// The book management dialog (resource 7005): the user's books by title, a new book through the
// book information dialog, and the view and delete items of the rows' context menu (7004). It
// drives the band's book list and tells the band afterwards which book is selected and whether
// the list changed.
#pragma once

#include "contracts/ShelvaryManager.h"
#include "platform/win32/ui/wrappers.h"
#include "platform/win32/windows.h"
#include "toolbar/band/book_info_dialog.h"

class CBookListDialog {
 public:
  CBookListDialog() = default;
  CBookListDialog(const CBookListDialog&) = delete;
  CBookListDialog& operator=(const CBookListDialog&) = delete;

  // The band's book list (not owned; null: no list, so nothing is shown, added or deleted).
  void SetBookList(CShelvaryManager* list) { bookList = list; }
  void SetSelectedIndex(int index) { selectedIndex = index; }
  // Runs dialog 7005 of instance modally; IDOK or IDCANCEL.
  INT_PTR Show(HINSTANCE instance, HWND owner);
  int GetSelectedIndex() const { return selectedIndex; }
  // TRUE once a book was added or deleted during the last showing, whichever button closed it.
  BOOL GetListChanged() const { return listChanged; }

 private:
  static INT_PTR DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog(HWND dlg);
  BOOL OnNotify(HWND dlg, const NMHDR& header);
  BOOL OnCommand(HWND dlg, WORD id);
  void NewBook(HWND dlg);
  void ViewBook(HWND dlg);
  void DeleteBook(HWND dlg);
  // The row the view and delete items act on; -1 when there is none (or no list).
  int MarkedRow() const;
  // The rows again after a change, with the list's current book selected.
  void Refresh();
  void SelectRow(int row) const;

  HINSTANCE instance = nullptr;
  CBookInfoDialog bookInfo;
  CListCtrl listCtrl;
  int selectedIndex = 0;
  CShelvaryManager* bookList = nullptr;
  BOOL listChanged = FALSE;
};
