// The band window's commands: the toolbar's buttons and the selection the combo box forwards.
#include "toolbar/band/toolbar_band.h"
#include "toolbar/resources/resource.h"

namespace {
constexpr WORD kDroppedNotification = 7;
}  // namespace

LRESULT CToolbarBand::OnCommand(WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) == kDroppedNotification) return 0;
  switch (LOWORD(wParam)) {
    case ID_BOOK_SELECTED:
      if (HIWORD(wParam) == 1) FollowComboSelection();
      break;
    case ID_MANAGE_BOOKS:
      ManageBooks();
      break;
    // The buttons (ID_ADD_PAGE, ID_OPEN_BOOK, ID_MANAGE_BOOKS, ID_SHOW_HELP) are not wired yet;
    // their handlers belong here.
    default:
      break;
  }
  return 0;
}

// The book list and the remembered row move together, so the book management dialog opens on
// the book the combo box shows.
void CToolbarBand::FollowComboSelection() {
  int row = bookCombo.GetCurSel();
  bookList.SetCurrentIndex(row);
  bookIndex = row;
  bookList.GetCurrentInfo();
}
