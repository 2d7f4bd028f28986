// HTML Help: the control library "hhctrl.ocx" beside libPlatform.so, whose export of ordinal 15
// is HtmlHelpW. The library is not linked; a caller loads it and looks the function up:
//
//   HMODULE hh = LoadLibraryW(u"hhctrl.ocx");
//   auto help = reinterpret_cast<PFNHTMLHELPW>(GetProcAddress(hh, MAKEINTRESOURCEA(15)));
//   HWND viewer = help(nullptr, u"/path/Help.chm", HH_DISPLAY_TOPIC, 0);
//
// HH_DISPLAY_TOPIC opens a compiled help file at its default topic ("file.chm::/page.html", or
// a topic given as data, opens that page): the topic and what it links are extracted into a
// cache folder of the user's ($XDG_CACHE_HOME, else ~/.cache, then "nubra-htmlhelp"; mode
// 0700) and the topic is handed to the desktop opener that ShellExecuteW uses ($NUBRA_OPENER,
// else xdg-open). The result is a window that stands for the viewer (class "HH Parent", the
// help file's title as its text; one per help file), or null when the file is missing, is not a
// compiled help file, or nothing could open it. HH_CLOSE_ALL destroys the viewers.
#pragma once

#include "platform/com/types.h"

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
constexpr UINT HH_HELP_FINDER = 0x0000;
constexpr UINT HH_DISPLAY_TOC = 0x0001;
constexpr UINT HH_CLOSE_ALL = 0x0012;
constexpr int kHtmlHelpOrdinal = 15;

using PFNHTMLHELPW = HWND (*)(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);
