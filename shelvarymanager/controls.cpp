#include "shelvarymanager/controls.h"

#include "platform/win32/ui/wrappers.h"

namespace shelvary {

int FillComboBox(const CComboBox* combo, const BookList& books) {
  if (combo == nullptr || !::IsWindow(combo->GetSafeHwnd())) return SHELVARY_E_WINDOW;
  combo->ResetContent();
  int result = SHELVARY_OK;
  for (const CShelvaryInfo& book : books) {
    if (combo->AddString(book.GetTitle()) < 0) result = SHELVARY_E_WINDOW;
  }
  return result;
}

int FillListCtrl(const CListCtrl* listCtrl, const BookList& books) {
  if (listCtrl == nullptr || !::IsWindow(listCtrl->GetSafeHwnd())) return SHELVARY_E_WINDOW;
  listCtrl->DeleteAllItems();
  int result = SHELVARY_OK;
  for (size_t i = 0; i < books.size(); ++i) {
    if (listCtrl->InsertItem(static_cast<int>(i), books[i].GetTitle()) < 0) {
      result = SHELVARY_E_WINDOW;
    }
  }
  return result;
}

}  // namespace shelvary
