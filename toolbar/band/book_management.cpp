// Button 3: the book management dialog, and the combo box brought in line with what it changed.
#include "toolbar/band/toolbar_band.h"

void CToolbarBand::ManageBooks() {
  bookListDialog.SetBookList(&bookList);
  bookListDialog.SetSelectedIndex(bookIndex);
  INT_PTR result = bookListDialog.Show(toolbar::ModuleInstance(), bandWindow);
  // A book added or deleted stays so even when the dialog was cancelled.
  if (result != IDOK && !bookListDialog.GetListChanged()) return;
  bookIndex = bookListDialog.GetSelectedIndex();
  bookList.SetUpComboBox(&bookCombo);
  bookCombo.SetCurSel(bookIndex);
  bookList.SetCurrentIndex(bookIndex);
  bookList.GetCurrentInfo();
}
