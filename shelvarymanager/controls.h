// Filling the toolbar's combo box and the book list dialog's list control from the list.
#pragma once

#include "shelvarymanager/book_list_file.h"

class CComboBox;
class CListCtrl;

namespace shelvary {

// Both empty the control and add one row per book, in list order, the title as the row's text.
// 0 on success; SHELVARY_E_WINDOW when there is no window or the control refused a row.
int FillComboBox(const CComboBox* combo, const BookList& books);
int FillListCtrl(const CListCtrl* listCtrl, const BookList& books);

}  // namespace shelvary
