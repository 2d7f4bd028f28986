// The book management dialog: its list, the clicks and the context menu, new, view and
// delete, and what it reports back (selectedIndex, listChanged).
#include "tests/toolbar/book_dialogs_support.h"
#include "toolbar/resources/resource.h"

using namespace dlgtest;
namespace ui = platform::ui;

namespace {

class ListDialog : public DialogTest {
 protected:
  // Shows the dialog on the list with the row selected, running act inside it; then the
  // dialog is closed with the button given (if act left it open).
  INT_PTR Run(CShelvaryManager* list, int selected, const std::function<void(HWND)>& act,
              int closeWith = IDOK) {
    dialog_.SetBookList(list);
    dialog_.SetSelectedIndex(selected);
    ui::OnNextDialog([&](HWND dlg) {
      listView_ = GetDlgItem(dlg, IDC_BOOK_LIST);
      act(dlg);
      rows_ = Rows();
      ui::Click(GetDlgItem(dlg, closeWith));
    });
    return dialog_.Show(Module(), nullptr);
  }
  // The rows of the list view while the dialog is open.
  std::vector<std::u16string> Rows() const { return platform::ui::ListViewRows(listView_); }
  // The book list as a fresh manager reads it from its file.
  std::vector<std::u16string> TitlesOnDisk() const {
    CShelvaryManager fresh;
    fresh.Read(Wide(listFile_.string()).c_str());
    std::vector<std::u16string> titles;
    const CShelvaryInfo* outside = fresh.GetInfo(-1);
    for (int i = 0; fresh.GetInfo(i) != outside; ++i)
      titles.push_back(fresh.GetInfo(i)->GetTitle());
    return titles;
  }
  // The info dialog that the new book command opens: type a title, pick the design, press
  // the button.
  static void NewBookDialog(const std::u16string& title, int button) {
    ui::OnNextDialog([title, button](HWND dlg) {
      ui::TypeText(GetDlgItem(dlg, IDC_TITLE), title);
      ui::SelectComboRow(GetDlgItem(dlg, IDC_DESIGN), 0);
      ui::Click(GetDlgItem(dlg, button));
    });
  }

  CBookListDialog dialog_;
  HWND listView_ = nullptr;
  std::vector<std::u16string> rows_;  // the rows when act was done
};

TEST_F(ListDialog, OpensWithTheTitlesAndTheSelectedRow) {
  CShelvaryManager& list = List({u"一", u"二"});
  DWORD extended = 0;
  std::u16string heading, caption;
  std::vector<UINT> states;
  Run(&list, 1, [&](HWND dlg) {
    caption = ui::WindowText(dlg);
    extended = static_cast<DWORD>(SendMessageW(listView_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    WCHAR text[32] = {};
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, 0, 0, text, 32, 0, 0, 0};
    SendMessageW(listView_, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    heading = text;
    EXPECT_EQ(column.cx, 300);
    EXPECT_EQ(column.fmt, LVCFMT_LEFT);
    for (int i = 0; i < 3; ++i)
      states.push_back(static_cast<UINT>(SendMessageW(listView_, LVM_GETITEMSTATE, i, 3)));
  });
  EXPECT_EQ(caption, u"書籍の管理");
  EXPECT_EQ(extended, 0x121u);
  EXPECT_EQ(heading, u"タイトル");
  EXPECT_EQ(rows_, (std::vector<std::u16string>{u"マイクリップ", u"一", u"二"}));
  EXPECT_EQ(states, (std::vector<UINT>{0, 3, 0}));
  EXPECT_EQ(dialog_.GetSelectedIndex(), 1);
  EXPECT_FALSE(dialog_.GetListChanged());
}

TEST_F(ListDialog, ClicksAndTheContextMenu) {
  struct Case {
    const char* name;
    std::function<void()> act;
    int open;      // selectedIndex given to the dialog (3: no row, so no selection mark)
    int selected;  // after the dialog
    size_t menus;
  };
  HWND& view = listView_;
  Case cases[] = {
      {"left click", [&] { ui::ClickListRow(view, 2); }, 0, 2, 0},
      {"right click keeps the selection", [&] { ui::RightClickListRow(view, 2); }, 0, 0, 1},
      {"click below the rows with no mark keeps it", [&] { ui::ClickListRow(view, -1); }, 3, 3, 0},
      {"click below the rows after a row",
       [&] {
         ui::ClickListRow(view, 1);
         ui::ClickListRow(view, -1);
       },
       3, 1, 0},
  };
  CShelvaryManager& list = List({u"一", u"二"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::ClearPopupMenus();
    Run(&list, c.open, [&](HWND) { c.act(); });
    EXPECT_EQ(dialog_.GetSelectedIndex(), c.selected);
    auto menus = ui::PopupMenus();
    ASSERT_EQ(menus.size(), c.menus);
    if (c.menus) {
      EXPECT_EQ(menus[0].flags, TPM_LEFTBUTTON);
      ASSERT_EQ(menus[0].items.size(), 2u);
      EXPECT_EQ(menus[0].items[0].text, u"閲覧");
      EXPECT_EQ(menus[0].items[0].id, static_cast<UINT>(ID_BOOK_VIEW));
      EXPECT_EQ(menus[0].items[1].text, u"削除");
      EXPECT_EQ(menus[0].items[1].id, static_cast<UINT>(ID_BOOK_DELETE));
      EXPECT_EQ(menus[0].chosen, 0u);
    }
    EXPECT_FALSE(dialog_.GetListChanged());
  }
}

TEST_F(ListDialog, ViewShowsTheRightClickedBook) {
  CShelvaryManager& list = List({u"一", u"二"});
  std::u16string caption, title, id;
  Run(&list, 0, [&](HWND) {
    ui::OnNextDialog([&](HWND info) {
      caption = ui::WindowText(info);
      title = ui::WindowText(GetDlgItem(info, IDC_TITLE));
      id = ui::WindowText(GetDlgItem(info, IDC_CONTENT_ID));
      ui::Click(GetDlgItem(info, IDCANCEL));
    });
    ui::ChooseNextMenuItem(ID_BOOK_VIEW);
    ui::RightClickListRow(listView_, 2);
  });
  EXPECT_EQ(caption, u"書籍の情報");
  EXPECT_EQ(title, u"二");
  EXPECT_EQ(id, u"FBJPNP0000000011");
  EXPECT_EQ(dialog_.GetSelectedIndex(), 0);
  EXPECT_FALSE(dialog_.GetListChanged());
}

TEST_F(ListDialog, NewBookAddedStaysEvenAfterCancel) {
  InstallDesign("Standard");
  CShelvaryManager& list = List({u"一"});
  INT_PTR result = Run(
      &list, 0,
      [&](HWND dlg) {
        NewBookDialog(u"新しい本", IDOK);
        ui::Click(GetDlgItem(dlg, IDC_NEW_BOOK));
      },
      IDCANCEL);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(dialog_.GetListChanged());
  EXPECT_EQ(dialog_.GetSelectedIndex(), 2);
  EXPECT_EQ(rows_, (std::vector<std::u16string>{u"マイクリップ", u"一", u"新しい本"}));
  EXPECT_EQ(TitlesOnDisk(), rows_);
  const CShelvaryInfo* added = list.GetInfo(2);
  EXPECT_EQ(std::u16string(added->GetBookID()), u"FBJPNP0305090704");
  EXPECT_EQ(std::u16string(added->GetDesignFileName()), DesignsFolder() + u"Standard.nbk");
  EXPECT_EQ(std::u16string(added->GetTitleRead()), u"マイクリップ");
}

TEST_F(ListDialog, NewBookCancelledOrWithoutAListAddsNothing) {
  InstallDesign("Standard");
  struct Case {
    const char* name;
    bool withList;
    int button;
  } cases[] = {{"cancelled", true, IDCANCEL}, {"no list", false, IDOK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CShelvaryManager& list = List({u"一"});
    Run(c.withList ? &list : nullptr, 1, [&](HWND dlg) {
      NewBookDialog(u"新しい本", c.button);
      ui::Click(GetDlgItem(dlg, IDC_NEW_BOOK));
    });
    EXPECT_FALSE(dialog_.GetListChanged());
    EXPECT_EQ(dialog_.GetSelectedIndex(), 1);
    EXPECT_EQ(TitlesOnDisk(), (std::vector<std::u16string>{u"マイクリップ", u"一"}));
  }
}

TEST_F(ListDialog, DeleteTheMarkedBookAndTheLastOne) {
  struct Case {
    const char* name;
    std::vector<std::u16string> titles;
    int row;
    std::vector<std::u16string> messages, after;
  } cases[] = {
      {"one of three", {u"一", u"二"}, 1, {}, {u"マイクリップ", u"二"}},
      {"the last book", {}, 0, {u"初期状態に戻します"}, {u"マイクリップ"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::ClearMessageBoxes();
    CShelvaryManager& list = List(c.titles);
    Run(&list, 0, [&](HWND) {
      ui::ChooseNextMenuItem(ID_BOOK_DELETE);
      ui::RightClickListRow(listView_, c.row);
    });
    EXPECT_EQ(Messages(), c.messages);
    for (const auto& box : ui::MessageBoxes()) {
      EXPECT_EQ(box.caption, u"Toolbar for Nubra");
      EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    }
    EXPECT_TRUE(dialog_.GetListChanged());
    EXPECT_EQ(dialog_.GetSelectedIndex(), list.GetCurrentIndex());
    EXPECT_EQ(rows_, c.after);
    EXPECT_EQ(TitlesOnDisk(), c.after);
  }
}

// The menu's commands with no row marked, or with no list, do nothing.
TEST_F(ListDialog, ViewAndDeleteWithoutARowOrAList) {
  struct Case {
    const char* name;
    bool withList;
    UINT command;
  } cases[] = {
      {"view, no row", true, ID_BOOK_VIEW},
      {"delete, no row", true, ID_BOOK_DELETE},
      {"view, no list", false, ID_BOOK_VIEW},
      {"delete, no list", false, ID_BOOK_DELETE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::ClearMessageBoxes();
    CShelvaryManager& list = List({u"一"});
    bool opened = false;
    ui::SetDialogHandler([&](HWND dlg) {
      opened = true;
      ui::Click(GetDlgItem(dlg, IDCANCEL));
    });
    // Row 5 is outside the list, so no row is selected and none marked.
    Run(c.withList ? &list : nullptr, 5,
        [&](HWND dlg) { SendMessageW(dlg, WM_COMMAND, c.command, 0); });
    ui::SetDialogHandler(nullptr);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(dialog_.GetListChanged());
    EXPECT_EQ(TitlesOnDisk(), (std::vector<std::u16string>{u"マイクリップ", u"一"}));
  }
}

}  // namespace
