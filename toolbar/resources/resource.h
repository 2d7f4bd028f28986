// Identifiers of the toolbar library's resources and of the controls and commands they name.
// Included by ToolBar4N.rc and by the library's code.
#pragma once

// Dialogs, menu, images
#define IDR_BOOK_MENU 7004  // the book list's context menu
#define IDD_BOOK_LIST 7005  // "書籍の管理"
#define IDD_BOOK_INFO 7006  // "新規作成" / "書籍の情報"
#define IDI_BUSY 7008       // the pointer shown while a page is added
#define IDB_TOOLBAR 26003   // four button images of 80 x 20

// Controls of the band window
#define IDC_TOOLBAR 7003
#define IDC_BOOK_COMBO 1

// Controls of the book list dialog
#define IDC_BOOK_LIST 10000
#define IDC_NEW_BOOK 10001

// Controls of the book information dialog
#define IDC_TITLE 7001
#define IDC_TITLE_READ 10005
#define IDC_AUTHOR 10006
#define IDC_AUTHOR_READ 10007
#define IDC_CONTENT_ID 10008
#define IDC_SAVE_PATH 10009
#define IDC_DESIGN 10010

// Commands: the toolbar buttons, the combo box's forwarded selection, the context menu. The
// menu items' status texts are the strings of the same identifiers.
#define ID_ADD_PAGE 1000
#define ID_OPEN_BOOK 1001
#define ID_MANAGE_BOOKS 1002
#define ID_SHOW_HELP 1003
#define ID_BOOK_SELECTED 10100
#define ID_BOOK_VIEW 32771
#define ID_BOOK_DELETE 32772

// Strings: the buttons' tooltips
#define IDS_TIP_ADD_PAGE 32776
#define IDS_TIP_OPEN_BOOK 32777
#define IDS_TIP_MANAGE_BOOKS 32778
#define IDS_TIP_HELP 32779

// Strings: messages of the commands
#define IDS_HELP_NOT_FOUND 3000
#define IDS_READER_NOT_FOUND 10037
#define IDS_SAVED 10040
#define IDS_OPEN_FAILED 10041
#define IDS_DISK_FULL 10042
#define IDS_BOOK_NOT_MADE 10043  // %s: the book's title
#define IDS_PAGE_NOT_ADDED 10044

// Strings: messages of the dialogs (the book information checks in their order: 10030, 10034,
// 10031, 10032, 10033, then the design file)
#define IDS_NO_CONTENT_ID 10030
#define IDS_BAD_EXTENSION 10031
#define IDS_NO_FOLDER 10032
#define IDS_BAD_FILE_NAME 10033
#define IDS_NO_PATH 10034
#define IDS_NO_DESIGN 10035
#define IDS_LIST_RESET 10045

// Strings: captions and headings
#define IDS_CAPTION 10046       // of every message box of the toolbar
#define IDS_BAND_TITLE 10047    // the band's title for the browser
#define IDS_TITLE_COLUMN 10048  // the book list's column
#define IDS_VIEW_CAPTION 10049  // the book information dialog showing a book
