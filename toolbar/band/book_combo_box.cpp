#include "toolbar/band/book_combo_box.h"

#include "toolbar/band/toolbar_band.h"
#include "toolbar/resources/resource.h"

BOOL CBookComboBox::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == LBN_SELCHANGE) {
    ::PostMessageW(m_band.BandWindow(), WM_COMMAND, MAKEWPARAM(ID_BOOK_SELECTED, 1), lParam);
    return FALSE;  // the combo box still takes the selection itself
  }
  return CComboBox::OnCommand(wParam, lParam);
}
