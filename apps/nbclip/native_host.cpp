// nbclip native-host: the browser extension's other end. The extension's service worker keeps a
// native messaging port open; for as long as it is, this process keeps one browser window with
// the toolbar band in it and plays the browser for the band: the page the person is looking at
// comes from the extension (its address and its live DOM), and the popup's and the book
// management page's clicks come as the person's own actions on the band and its dialogs.
//
// Requests are {"id": N, "cmd": NAME, ...}; every answer is {"id": N, "ok": true, "state": ...,
// "messages": [...]} or {"id": N, "ok": false, "error": TEXT}. A dialog that opens answers the
// request that opened it at once and is then driven by the requests that follow; when that
// request's own work ends later, the new state goes out as {"event": "state", ...}.
#include "apps/nbclip/native_host.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "apps/nbclip/native_messaging.h"
#include "apps/nbclip/page_fetch.h"
#include "apps/nbclip/toolbar_session.h"
#include "platform/win32/ui/ui.h"
#include "toolbar/resources/resource.h"

namespace nbclip {

namespace {

namespace ui = platform::ui;
using nm::FieldRule;
using nm::Json;
using nm::JsonArray;
using nm::JsonObject;
using nm::Kind;

std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}

// A window's class as the extension's pages name it: in lower case, as class names compare.
std::string ClassOf(HWND control) {
  std::string name = U8(ui::ClassName(control));
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

// Chromium sends at most 64 MiB; a page's DOM is far below the bound kept.
constexpr size_t kMessageLimit = 16u << 20;
constexpr uint64_t kSkipLimit = 64u << 20;
// What the browser takes from a host in one message.
constexpr size_t kReplyLimit = 1u << 20;
constexpr size_t kUrlLimit = 8192;
constexpr size_t kTextLimit = 4096;
constexpr long kMaxId = 0x7FFFFFFF;

// The fields every request has, and those of each command.
std::vector<FieldRule> Rules(std::vector<FieldRule> own) {
  own.push_back({"id", Kind::kInteger, true, 0, 0, kMaxId});
  own.push_back({"cmd", Kind::kString, true, 32});
  return own;
}
const FieldRule kDialog{"dialog", Kind::kInteger, true, 0, 1, kMaxId};
const FieldRule kControl{"control", Kind::kInteger, true, 0, 1, 0xFFFF};
const FieldRule kRow{"row", Kind::kInteger, true, 0, -1, 1000000};

struct OpenDialog {
  HWND window;
  long serial;
};

class Host {
 public:
  Host(int in, int out) : m_in(in), m_out(out), m_session("nbclip native-host") {}

  int Run() {
    if (!m_session.Open()) {
      Send(Error(Json(), "the toolbar cannot be shown; run `nbclip register` first"));
      return kExitFailed;
    }
    auto previous = ui::SetDialogHandler([this](HWND dlg) { InDialog(dlg); });
    Serve([] { return false; });
    ui::SetDialogHandler(std::move(previous));
    m_session.Close();
    return kExitOk;
  }

 private:
  struct Request {
    Json id;
    bool answered = false;
  };

  // Reads and answers requests until done() or until the port closes.
  template <typename Done>
  void Serve(Done done) {
    while (!m_closing && !done()) {
      nm::Frame frame = nm::ReadFrame(m_in, kMessageLimit, kSkipLimit);
      switch (frame.status) {
        case nm::FrameStatus::kMessage:
          Handle(frame.body);
          break;
        case nm::FrameStatus::kTooLarge:
          Send(Error(Json(), "a message of " + std::to_string(frame.declared) +
                                 " bytes is larger than the limit of " +
                                 std::to_string(kMessageLimit) + " bytes"));
          break;
        case nm::FrameStatus::kUnreadable:
          Send(Error(Json(), "a message of " + std::to_string(frame.declared) +
                                 " bytes cannot be taken; the host stops"));
          m_closing = true;
          break;
        case nm::FrameStatus::kTruncated:
        case nm::FrameStatus::kEnd:
          m_closing = true;
          break;
      }
    }
  }

  void Handle(const std::string& body) {
    std::string error;
    std::optional<Json> message = nm::Parse(body, error);
    if (!message) {
      Send(Error(Json(), "not JSON: " + error));
      return;
    }
    const Json* id = message->Find("id");
    const Json* cmd = message->Find("cmd");
    Json idValue = id && nm::AsInteger(*id) ? *id : Json();
    const std::string* name = cmd ? std::get_if<std::string>(&cmd->value) : nullptr;
    if (!message->IsObject() || !name) {
      Send(Error(idValue, "a request is an object with \"id\" and \"cmd\""));
      return;
    }
    m_requests.push_back({idValue});
    std::string refused = Dispatch(*name, *message);
    Request done = m_requests.back();
    m_requests.pop_back();
    if (!refused.empty())
      Send(Error(done.id, refused));
    else if (!done.answered)
      Send(Answer(done.id));
    else
      Send(StateEvent());
  }

  // Runs one request; empty, or why it is refused.
  std::string Dispatch(const std::string& name, const Json& m) {
    auto check = [&](std::vector<FieldRule> rules) { return nm::CheckFields(m, Rules(rules)); };
    auto integer = [&](std::string_view field) { return *nm::AsInteger(*m.Find(field)); };
    auto text = [&](std::string_view field) { return std::get<std::string>(m.Find(field)->value); };
    if (name == "state") return check({});
    if (name == "page") {
      std::string bad = check(
          {{"url", Kind::kString, true, kUrlLimit}, {"html", Kind::kString, true, kMessageLimit}});
      return bad.empty() ? ShowPage(text("url"), text("html")) : bad;
    }
    if (name == "select" || name == "press") {
      bool select = name == "select";
      std::string bad = check(
          {select ? kRow
                  : FieldRule{"command", Kind::kInteger, true, 0, ID_ADD_PAGE, ID_SHOW_HELP}});
      if (!bad.empty()) return bad;
      if (!m_dialogs.empty()) return "the book management dialog is open; close it first";
      if (select) {
        long row = integer("row");
        if (row < 0 || row >= m_session.BookCount())
          return "there is no book " + std::to_string(row);
        return ui::SelectComboRow(m_session.Combo(), static_cast<int>(row))
                   ? ""
                   : "the book list does not take that row";
      }
      return ui::ClickToolbarButton(m_session.Toolbar(), static_cast<int>(integer("command")))
                 ? ""
                 : "that button cannot be pressed now";
    }
    std::vector<FieldRule> rules{kDialog, kControl};
    if (name == "type") rules.push_back({"text", Kind::kString, true, kTextLimit});
    if (name == "pick") rules.push_back(kRow);
    if (name == "menu") {
      rules.push_back(kRow);
      rules.push_back({"choose", Kind::kInteger, true, 0, 0, 0xFFFF});
    }
    if (name != "click" && name != "type" && name != "pick" && name != "menu")
      return "unknown command \"" + name + "\"";
    std::string bad = check(rules);
    if (!bad.empty()) return bad;
    if (m_dialogs.empty() || m_dialogs.back().serial != integer("dialog") ||
        ui::DialogEnded(m_dialogs.back().window))
      return "that dialog is not the one open in front";
    HWND control = GetDlgItem(m_dialogs.back().window, static_cast<int>(integer("control")));
    if (!control) return "the dialog has no control " + std::to_string(integer("control"));
    std::string cls = ClassOf(control);
    bool done = false;
    if (name == "click") {
      done = ui::Click(control);
    } else if (name == "type") {
      done = ui::TypeText(control, platform::com::Utf8ToUtf16(text("text")));
    } else if (name == "pick") {
      int row = static_cast<int>(integer("row"));
      done = cls == "syslistview32" ? ui::ClickListRow(control, row)
                                    : ui::SelectComboRow(control, row);
    } else {
      return RowMenu(control, static_cast<int>(integer("row")),
                     static_cast<UINT>(integer("choose")));
    }
    return done ? "" : "the control does not take that";
  }

  // Right-clicks a list row; the menu that opens is told in the answer, and its item choose
  // (0: none, the menu is dismissed) is taken.
  std::string RowMenu(HWND list, int row, UINT choose) {
    std::optional<ui::PopupMenuRecord> shown;
    auto previous = ui::SetMenuHandler([&](const ui::PopupMenuRecord& menu) -> UINT {
      shown = menu;
      for (const auto& item : menu.items)
        if (choose && item.id == choose && !(item.flags & (MF_GRAYED | MF_DISABLED))) return choose;
      return 0;
    });
    bool clicked = ui::RightClickListRow(list, row);
    ui::SetMenuHandler(std::move(previous));
    if (!clicked) return "the list does not take that row";
    JsonArray items;
    if (shown)
      for (const auto& item : shown->items)
        items.push_back(JsonObject{{"id", static_cast<long>(item.id)},
                                   {"text", U8(item.text)},
                                   {"flags", static_cast<long>(item.flags)}});
    m_menu = shown ? Json(JsonObject{{"row", row}, {"items", std::move(items)}}) : Json();
    return {};
  }

  std::string ShowPage(const std::string& url, const std::string& html) {
    std::u16string address = platform::com::Utf8ToUtf16(url);
    // Only a page from the web is taken: what it refers to is fetched from the web alone, so a
    // page can never have the reader's own files read into a book.
    if (!IsWebAddress(address)) return "only pages from http or https addresses can be added";
    if (!m_dialogs.empty()) return "the book management dialog is open; close it first";
    Reporter reporter{"nbclip native-host", true};
    auto fetch = std::make_shared<PageFetch>();
    fetch->webOnly = true;
    fetch->reporter = &reporter;
    fetch->deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto first = std::make_shared<bool>(true);
    platform::mshtml::LoadOptions options;
    // The page itself is the DOM the browser has; what it links to is fetched as the browser
    // would.
    options.fetch = [fetch, first, html](const std::u16string& u, std::string& body,
                                         std::string& type) {
      if (*first) {
        *first = false;
        body = html;
        type = "text/html; charset=utf-8";
        return true;
      }
      return (*fetch)(u, body, type);
    };
    ComPtr<IHTMLDocument2> document;
    if (FAILED(platform::mshtml::LoadDocument(address, options, &document)) || !document)
      return "the page cannot be read";
    m_session.ShowLoaded(std::move(address), std::move(document));
    return {};
  }

  void InDialog(HWND dlg) {
    m_dialogs.push_back({dlg, ++m_serial});
    // The request that opened the dialog is answered now; the person goes on inside it.
    if (!m_requests.empty() && !m_requests.back().answered) {
      Send(Answer(m_requests.back().id));
      m_requests.back().answered = true;
    } else {
      Send(StateEvent());
    }
    Serve([dlg] { return ui::DialogEnded(dlg); });
    if (!ui::DialogEnded(dlg)) {
      // The port closed with the dialog open: it is cancelled, as Escape would.
      ui::Click(GetDlgItem(dlg, IDCANCEL));
      if (!ui::DialogEnded(dlg)) EndDialog(dlg, IDCANCEL);
    }
    m_dialogs.pop_back();
  }

  Json Describe(const OpenDialog& open) const {
    HWND dlg = open.window;
    RECT client{};
    GetClientRect(dlg, &client);
    JsonArray controls;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      RECT r{};
      GetWindowRect(c, &r);
      POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
      MapWindowPoints(nullptr, dlg, corners, 2);
      std::string cls = ClassOf(c);
      JsonObject item{
          {"id", GetDlgCtrlID(c)},
          {"class", cls},
          {"text", U8(ui::WindowText(c))},
          {"x", static_cast<long>(corners[0].x)},
          {"y", static_cast<long>(corners[0].y)},
          {"width", static_cast<long>(corners[1].x - corners[0].x)},
          {"height", static_cast<long>(corners[1].y - corners[0].y)},
          {"style", static_cast<double>(static_cast<DWORD>(GetWindowLongPtrW(c, GWL_STYLE)))},
          {"visible", IsWindowVisible(c) != 0},
          {"enabled", IsWindowEnabled(c) != 0},
      };
      if (cls == "syslistview32") {
        JsonArray rows, selected;
        std::vector<std::u16string> texts = ui::ListViewRows(c);
        for (size_t i = 0; i < texts.size(); ++i) {
          rows.push_back(U8(texts[i]));
          if (SendMessageW(c, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED)
            selected.push_back(static_cast<long>(i));
        }
        item["rows"] = std::move(rows);
        item["selected"] = std::move(selected);
      } else if (cls == "combobox") {
        JsonArray rows;
        int count = static_cast<int>(SendMessageW(c, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) rows.push_back(U8(ComboRowText(c, i)));
        item["rows"] = std::move(rows);
        item["selected"] = static_cast<long>(SendMessageW(c, CB_GETCURSEL, 0, 0));
      }
      controls.push_back(std::move(item));
    }
    return JsonObject{{"dialog", open.serial},
                      {"caption", U8(ui::WindowText(dlg))},
                      {"width", static_cast<long>(client.right - client.left)},
                      {"height", static_cast<long>(client.bottom - client.top)},
                      {"controls", std::move(controls)}};
  }

  Json State() const {
    JsonArray books, buttons, dialogs;
    for (int i = 0; i < m_session.BookCount(); ++i) books.push_back(U8(m_session.BookTitle(i)));
    HWND toolbar = m_session.Toolbar();
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TBBUTTON b{};
      if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                        reinterpret_cast<LPARAM>(&b)) ||
          b.idCommand == 0)
        continue;
      buttons.push_back(JsonObject{{"command", b.idCommand},
                                   {"image", static_cast<long>(b.iBitmap)},
                                   {"tooltip", U8(ui::ToolTipText(toolbar, b.idCommand))},
                                   {"enabled", (b.fsState & TBSTATE_ENABLED) != 0}});
    }
    // A dialog that has been ended is gone for the person, though its loop has yet to return.
    for (const OpenDialog& d : m_dialogs)
      if (!ui::DialogEnded(d.window)) dialogs.push_back(Describe(d));
    return JsonObject{{"books", std::move(books)},
                      {"selected", m_session.BookCount() ? m_session.SelectedBook() : -1},
                      {"buttons", std::move(buttons)},
                      {"dialogs", std::move(dialogs)},
                      {"pid", static_cast<long>(getpid())}};
  }

  JsonArray NewMessages() {
    JsonArray out;
    for (const auto& box : m_session.TakeNewMessages())
      out.push_back(JsonObject{{"caption", U8(box.caption)},
                               {"text", U8(box.text)},
                               {"type", static_cast<long>(box.type)}});
    return out;
  }

  Json Answer(const Json& id) {
    JsonObject a{{"id", id}, {"ok", true}, {"state", State()}, {"messages", NewMessages()}};
    if (!std::holds_alternative<std::nullptr_t>(m_menu.value)) a["menu"] = std::move(m_menu);
    m_menu = Json();
    return a;
  }
  Json StateEvent() {
    return JsonObject{{"event", "state"}, {"state", State()}, {"messages", NewMessages()}};
  }
  static Json Error(const Json& id, const std::string& error) {
    return JsonObject{{"id", id}, {"ok", false}, {"error", error}};
  }

  void Send(const Json& message) {
    std::string body = nm::Write(message);
    if (body.size() > kReplyLimit) {
      const Json* id = message.Find("id");
      body = nm::Write(Error(id ? *id : Json(), "the answer is too large to send"));
    }
    if (!nm::WriteFrame(m_out, body)) m_closing = true;
  }

  int m_in, m_out;
  ToolbarSession m_session;
  std::vector<Request> m_requests;
  std::vector<OpenDialog> m_dialogs;
  long m_serial = 0;
  Json m_menu;
  bool m_closing = false;
};

}  // namespace

bool IsExtensionCaller(Args args) {
  if (!args.empty() && args[0] == "chrome-extension://" + std::string(kExtensionId) + "/")
    return true;
  // Firefox gives the manifest's path, then the extension's id.
  return args.size() >= 2 && args[1] == kGeckoId;
}

int RunNativeHost(Args args) {
  // A browser that closes the port while an answer is written ends the session, not the process
  // by a signal: the write fails and the host closes the window as it should.
  signal(SIGPIPE, SIG_IGN);
  // Standard output is the port: whatever else would print there goes to standard error.
  int port = dup(STDOUT_FILENO);
  if (port < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::cerr << "nbclip native-host: cannot set up standard output\n";
    return kExitFailed;
  }
  if (!IsExtensionCaller(args)) {
    std::cerr << "nbclip native-host: called by "
              << (args.empty() ? std::string("no one") : std::string(args[0]))
              << "; only the toolbar extension (" << kExtensionId << ") is answered\n";
    nm::WriteFrame(port, nm::Write(JsonObject{
                             {"id", nullptr},
                             {"ok", false},
                             {"error", "this host answers only the Nubra toolbar extension"}}));
    close(port);
    return kExitFailed;
  }
  int status = Host(STDIN_FILENO, port).Run();
  close(port);
  return status;
}

}  // namespace nbclip
