// Compares the messages windows saw with the ones a test expects, entry by entry: each expected
// entry says how the message must have arrived (sent, posted, or sent from within the default
// procedure) or that it may be missing, and a mismatch names the messages and the test's line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ui/ui.h"

namespace nbtest {

// A message as a recorder saw it, its window already given a role name.
struct SeenMessage {
  std::string window;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  bool posted = false;   // taken off a queue rather than sent
  bool defProc = false;  // sent while a default window procedure was at work
};

enum class Arrival { kSent, kPosted, kDefProc };

struct ExpectedMessage {
  std::string window;
  UINT msg = 0;
  std::optional<WPARAM> wParam;
  Arrival arrival = Arrival::kSent;
  bool optional = false;
};

inline ExpectedMessage Sent(std::string window, UINT msg) {
  return {std::move(window), msg, std::nullopt, Arrival::kSent};
}
inline ExpectedMessage Sent(std::string window, UINT msg, WPARAM wParam) {
  return {std::move(window), msg, wParam, Arrival::kSent};
}
inline ExpectedMessage Posted(std::string window, UINT msg) {
  return {std::move(window), msg, std::nullopt, Arrival::kPosted};
}
inline ExpectedMessage Posted(std::string window, UINT msg, WPARAM wParam) {
  return {std::move(window), msg, wParam, Arrival::kPosted};
}
inline ExpectedMessage DefProc(std::string window, UINT msg) {
  return {std::move(window), msg, std::nullopt, Arrival::kDefProc};
}
inline ExpectedMessage DefProc(std::string window, UINT msg, WPARAM wParam) {
  return {std::move(window), msg, wParam, Arrival::kDefProc};
}
// The message may be missing; where it comes, it must come as described.
inline ExpectedMessage Optional(ExpectedMessage e) {
  e.optional = true;
  return e;
}

inline std::string MessageName(UINT msg) {
#define NB_MESSAGE_NAME(m) \
  case m:                  \
    return #m;
  switch (msg) {
    NB_MESSAGE_NAME(WM_NULL)
    NB_MESSAGE_NAME(WM_CREATE)
    NB_MESSAGE_NAME(WM_DESTROY)
    NB_MESSAGE_NAME(WM_MOVE)
    NB_MESSAGE_NAME(WM_SIZE)
    NB_MESSAGE_NAME(WM_ACTIVATE)
    NB_MESSAGE_NAME(WM_SETFOCUS)
    NB_MESSAGE_NAME(WM_KILLFOCUS)
    NB_MESSAGE_NAME(WM_ENABLE)
    NB_MESSAGE_NAME(WM_SETTEXT)
    NB_MESSAGE_NAME(WM_GETTEXT)
    NB_MESSAGE_NAME(WM_GETTEXTLENGTH)
    NB_MESSAGE_NAME(WM_PAINT)
    NB_MESSAGE_NAME(WM_CLOSE)
    NB_MESSAGE_NAME(WM_QUIT)
    NB_MESSAGE_NAME(WM_SHOWWINDOW)
    NB_MESSAGE_NAME(WM_SETCURSOR)
    NB_MESSAGE_NAME(WM_SETFONT)
    NB_MESSAGE_NAME(WM_GETFONT)
    NB_MESSAGE_NAME(WM_WINDOWPOSCHANGING)
    NB_MESSAGE_NAME(WM_WINDOWPOSCHANGED)
    NB_MESSAGE_NAME(WM_NOTIFY)
    NB_MESSAGE_NAME(WM_NCCREATE)
    NB_MESSAGE_NAME(WM_NCDESTROY)
    NB_MESSAGE_NAME(WM_KEYDOWN)
    NB_MESSAGE_NAME(WM_KEYUP)
    NB_MESSAGE_NAME(WM_CHAR)
    NB_MESSAGE_NAME(WM_INITDIALOG)
    NB_MESSAGE_NAME(WM_COMMAND)
    NB_MESSAGE_NAME(WM_SYSCOMMAND)
    NB_MESSAGE_NAME(WM_TIMER)
    NB_MESSAGE_NAME(WM_CONTEXTMENU)
    NB_MESSAGE_NAME(WM_LBUTTONDOWN)
    NB_MESSAGE_NAME(WM_LBUTTONUP)
    NB_MESSAGE_NAME(WM_RBUTTONDOWN)
    NB_MESSAGE_NAME(WM_RBUTTONUP)
    NB_MESSAGE_NAME(WM_PARENTNOTIFY)
    NB_MESSAGE_NAME(CB_ADDSTRING)
    NB_MESSAGE_NAME(CB_DELETESTRING)
    NB_MESSAGE_NAME(CB_GETCOUNT)
    NB_MESSAGE_NAME(CB_GETCURSEL)
    NB_MESSAGE_NAME(CB_GETLBTEXT)
    NB_MESSAGE_NAME(CB_INSERTSTRING)
    NB_MESSAGE_NAME(CB_RESETCONTENT)
    NB_MESSAGE_NAME(CB_SETCURSEL)
    NB_MESSAGE_NAME(CB_SHOWDROPDOWN)
    NB_MESSAGE_NAME(CB_GETDROPPEDSTATE)
    default:
      break;
  }
#undef NB_MESSAGE_NAME
  char buf[32];
  if (msg >= WM_USER && msg < WM_APP) {
    std::snprintf(buf, sizeof buf, "WM_USER+%u", msg - WM_USER);
  } else if (msg >= WM_APP && msg < 0xC000) {
    std::snprintf(buf, sizeof buf, "WM_APP+%u", msg - WM_APP);
  } else {
    std::snprintf(buf, sizeof buf, "0x%04X", msg);
  }
  return buf;
}

namespace detail {

inline std::string Hex(unsigned long long v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", v);
  return buf;
}

inline const char* ArrivalName(Arrival a) {
  switch (a) {
    case Arrival::kSent:
      return "sent";
    case Arrival::kPosted:
      return "posted";
    case Arrival::kDefProc:
      return "sent by the default procedure";
  }
  return "?";
}

inline Arrival ArrivalOf(const SeenMessage& m) {
  if (m.posted) return Arrival::kPosted;
  return m.defProc ? Arrival::kDefProc : Arrival::kSent;
}

inline std::string Describe(const SeenMessage& m) {
  return m.window + ":" + MessageName(m.msg) + " wParam=" + Hex(m.wParam) + " (" +
         ArrivalName(ArrivalOf(m)) + ")";
}

inline std::string Describe(const ExpectedMessage& e) {
  std::string s = e.window + ":" + MessageName(e.msg);
  if (e.wParam) s += " wParam=" + Hex(*e.wParam);
  s += std::string(" (") + ArrivalName(e.arrival) + (e.optional ? ", optional)" : ")");
  return s;
}

// Why a seen message does not answer an expected one, or empty where it does.
inline std::string Mismatch(const SeenMessage& got, const ExpectedMessage& want) {
  if (got.window != want.window || got.msg != want.msg) return "another message";
  if (want.wParam && *want.wParam != got.wParam) return "another wParam";
  if (ArrivalOf(got) != want.arrival) return "arrived another way";
  return {};
}

}  // namespace detail

// Fails, at the caller's line, unless `got` is `want` less any optional entries left out.
inline void ExpectMessages(const std::vector<SeenMessage>& got,
                           const std::vector<ExpectedMessage>& want, std::string_view what = {},
                           std::source_location where = std::source_location::current()) {
  std::string problem;
  size_t g = 0, w = 0;
  while (problem.empty() && (g < got.size() || w < want.size())) {
    if (w == want.size()) {
      problem = "unexpected " + detail::Describe(got[g]) + " at " + std::to_string(g);
    } else if (g == got.size()) {
      if (want[w].optional) {
        ++w;
        continue;
      }
      problem = "missing " + detail::Describe(want[w]) + " at " + std::to_string(g);
    } else if (std::string why = detail::Mismatch(got[g], want[w]); why.empty()) {
      ++g;
      ++w;
    } else if (want[w].optional && why == "another message") {
      ++w;  // left out; the seen message must answer a later entry
    } else {
      problem = "message " + std::to_string(g) + ": " + why + ": expected " +
                detail::Describe(want[w]) + ", got " + detail::Describe(got[g]);
    }
  }
  if (problem.empty()) return;
  std::string report = std::string(what) + (what.empty() ? "" : ": ") + problem + "\n  seen:";
  for (const auto& m : got) report += "\n    " + detail::Describe(m);
  report += "\n  expected:";
  for (const auto& e : want) report += "\n    " + detail::Describe(e);
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << report;
}

}  // namespace nbtest
