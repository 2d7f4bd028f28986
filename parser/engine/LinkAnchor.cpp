#include "parser/engine/LinkAnchor.h"

#include "contracts/NBKCreator.h"
#include "parser/engine/HtmlPageConverter.h"
#include "platform/inet/url.h"

namespace {

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// A fragment as the name it stands for: the address gives "%20" for a blank of an id such as
// "_customizing_vim_with internal_features", and a browser decodes it before it looks.
std::u16string DecodeFragment(std::u16string_view fragment) {
  if (fragment.find(u'%') == std::u16string_view::npos) return std::u16string(fragment);
  std::string bytes;
  std::size_t run = 0;  // start of the characters not yet taken over
  for (std::size_t i = 0; i + 2 < fragment.size(); ++i) {
    int hi, lo;
    if (fragment[i] != u'%' || (hi = HexValue(fragment[i + 1])) < 0 ||
        (lo = HexValue(fragment[i + 2])) < 0) {
      continue;
    }
    bytes += platform::com::Utf16ToUtf8(fragment.substr(run, i - run));
    bytes.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
    run = i + 1;
  }
  bytes += platform::com::Utf16ToUtf8(fragment.substr(run));
  return platform::com::Utf8ToUtf16(bytes);
}

}  // namespace

void CLinkAnchor::StartLink(CNBKBook* book, CNBKTextObject* textObject) {
  if (!book) return;
  m_pButton = book->CreateObject(NBK_BUTTON_KIND);
  if (!m_pButton) return;
  m_buttons.push_back(m_pButton);
  unsigned long id = m_pButton->GetObjID();
  if (textObject) textObject->StartTextButton(id);
  if (m_pTargetPage)
    static_cast<CNBKButtonObject*>(m_pButton)->SetJumpTo(m_pTargetPage, m_pTargetBlock);
}

void CLinkAnchor::SetTarget(CNBKObject* page, CNBKTextObject* textObject) {
  if (!textObject) return;
  SetTargetBlock(page, textObject->GetBlock());
}

void CLinkAnchor::SetTargetBlock(CNBKObject* page, CNBKObject* block) {
  m_pTargetPage = page;
  m_pTargetBlock = block;
  for (CNBKObject* button : m_buttons)
    static_cast<CNBKButtonObject*>(button)->SetJumpTo(m_pTargetPage, m_pTargetBlock);
}

CLinkAnchor* CHtmlPageConverter::FindOrCreateAnchor(const std::u16string& name) {
  if (name.empty()) return nullptr;
  // The index finds the same record as a search of the list from its start would: names are
  // unique in the list.
  auto found = m_anchorIndex.find(name);
  if (found != m_anchorIndex.end()) return found->second;
  auto* anchor = new CLinkAnchor;
  anchor->m_strName = name;
  m_linkAnchors.push_back(anchor);
  m_anchorIndex.emplace(name, anchor);
  return anchor;
}

void CHtmlPageConverter::DeleteAnchors() {
  for (CLinkAnchor* anchor : m_linkAnchors) delete anchor;
  m_linkAnchors.clear();
  m_anchorIndex.clear();
  m_pendingTargets.clear();
}

void CHtmlPageConverter::MarkTarget(const std::u16string& name) {
  CLinkAnchor* record = FindOrCreateAnchor(name);
  if (!record || record->m_bTargetMet) return;
  record->m_bTargetMet = true;
  // The place is the next block put on the page: the open one when it gets placed, else the
  // one after (the old code opened a block for the name, which stayed empty and was never placed
  // when a heading followed).
  m_pendingTargets.push_back(record);
}

void CHtmlPageConverter::SettlePendingTargets() {
  if (m_pLastBlock) {
    for (CLinkAnchor* anchor : m_pendingTargets) anchor->SetTargetBlock(m_pPage, m_pLastBlock);
  }
  m_pendingTargets.clear();
}

std::u16string_view CHtmlPageConverter::StripOwnAddress(std::u16string_view href) const {
  // The own address is the scheme, server and object one after the other: compared piece by
  // piece, not put together for every link.
  if (!m_strScheme.empty() || !m_strServer.empty() || !m_strObject.empty()) {
    std::u16string_view rest = href;
    bool own = true;
    for (const std::u16string* piece : {&m_strScheme, &m_strServer, &m_strObject}) {
      own = own && rest.starts_with(*piece);
      if (own) rest.remove_prefix(piece->size());
    }
    if (own) return rest;
  }
  // A document written from a downloaded copy reports its links to itself under this address.
  static constexpr std::u16string_view kBlank = u"about:blank";
  if (href.starts_with(kBlank)) return href.substr(kBlank.size());
  return href;
}

void CHtmlPageConverter::HandleAnchor(IDispatch* node) {
  ComPtr<IHTMLAnchorElement> anchor;
  if (FAILED(node->QueryInterface(IID_IHTMLAnchorElement, anchor.ReleaseAndGetVoidAddress())) ||
      !anchor) {
    return;
  }

  BStr href;
  if (SUCCEEDED(anchor->get_href(&href)) && href.Length() > 0) {
    DWORD serviceType = AFX_INET_SERVICE_HTTP;
    std::u16string server, object;
    INTERNET_PORT port = 0;
    if (AfxParseURL(href.Get(), serviceType, server, object, port)) {
      std::u16string_view rest = StripOwnAddress(std::u16string_view(href.Get(), href.Length()));
      if (!rest.empty() && rest[0] == u'#') {
        std::size_t hashes = rest.find_first_not_of(u'#');
        rest.remove_prefix(hashes == std::u16string_view::npos ? rest.size() : hashes);
        if (CLinkAnchor* record = FindOrCreateAnchor(DecodeFragment(rest))) {
          // The blank before the link stays out of the button.
          PayOwedBlank();
          record->StartLink(m_pBook, m_pTextObject);
        }
      }
    }
  }

  BStr name;
  if (SUCCEEDED(anchor->get_name(&name)) && name) MarkTarget(name.Str());
}
