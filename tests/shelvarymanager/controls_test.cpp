// The combo box and the list control show the list, one row per book in list order.
#include <gtest/gtest.h>

#include "platform/win32/ui/ui.h"
#include "test_env.h"

namespace shelvary_test {
namespace {

std::vector<std::string> ComboRows(const CComboBox& combo) {
  std::vector<std::string> rows;
  for (int i = 0; i < combo.GetCount(); ++i) rows.push_back(U8(combo.GetLBText(i)));
  return rows;
}

std::vector<std::string> ListRows(const CListCtrl& list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list.GetItemCount(); ++i) rows.push_back(U8(list.GetItemText(i, 0)));
  return rows;
}

TEST_F(ShelvaryTest, ControlsShowTheListInListOrder) {
  InitCommonControls();
  HWND parent = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 0, 300, 300, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  CComboBox combo;
  combo.Attach(CreateWindowExW(0, u"COMBOBOX", u"TB4N_COMBO", WS_CHILD | CBS_DROPDOWNLIST, 0, 2,
                               160, 100, parent, reinterpret_cast<HMENU>(1), nullptr, nullptr));
  CListCtrl list;
  list.Attach(CreateWindowExW(0, WC_LISTVIEWW, u"", WS_CHILD | LVS_REPORT, 0, 0, 200, 200, parent,
                              reinterpret_cast<HMENU>(10000), nullptr, nullptr));
  ASSERT_NE(combo.GetSafeHwnd(), nullptr);
  ASSERT_NE(list.GetSafeHwnd(), nullptr);
  list.InsertColumn(0, u"タイトル", LVCFMT_LEFT, 300);
  combo.AddString(u"stale row");
  list.InsertItem(0, u"stale row");

  CShelvaryManager m;
  Start(m);
  Add(m, "Zebra");  // rows follow the list, not the alphabet
  m.AddNewInfo(u"", u"", u"", u"", u"", u"", u"");
  Add(m, "Apple");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "filled" : "refilled after a deletion");
    EXPECT_EQ(m.SetUpComboBox(&combo), SHELVARY_OK);
    EXPECT_EQ(m.UpDateListCtrl(&list), SHELVARY_OK);
    EXPECT_EQ(ComboRows(combo), Titles(m));
    EXPECT_EQ(ListRows(list), Titles(m));
    m.DeleteInfo(0);
  }

  CComboBox noWindow;
  CListCtrl noList;
  EXPECT_EQ(m.SetUpComboBox(&noWindow), SHELVARY_E_WINDOW);
  EXPECT_EQ(m.UpDateListCtrl(&noList), SHELVARY_E_WINDOW);
  EXPECT_EQ(m.SetUpComboBox(nullptr), SHELVARY_E_WINDOW);
  EXPECT_EQ(m.UpDateListCtrl(nullptr), SHELVARY_E_WINDOW);

  combo.Detach();
  list.Detach();
  DestroyWindow(parent);
}

}  // namespace
}  // namespace shelvary_test
