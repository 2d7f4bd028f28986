// The window and control styles that ToolBar4N.rc writes by name, with their Windows values.
// For the resource compiler only; the library's code has them from the platform's headers.
#pragma once

#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_VSCROLL 0x00200000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L

#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L

#define ES_AUTOHSCROLL 0x0080L
#define CBS_DROPDOWN 0x0002L
#define CBS_SORT 0x0100L

#define LVS_REPORT 0x0001
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_NOSORTHEADER 0x8000

#define IDOK 1
#define IDCANCEL 2
#define IDC_STATIC (-1)

#define LANG_JAPANESE 0x11
#define SUBLANG_DEFAULT 0x01
