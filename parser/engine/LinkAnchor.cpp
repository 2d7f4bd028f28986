#include "parser/engine/LinkAnchor.h"

#include "contracts/NBKCreator.h"
#include "parser/engine/HtmlPageConverter.h"
#include "platform/inet/url.h"

void CLinkAnchor::StartLink(CNBKBook* book, CNBKTextObject* textObject) {
  if (!book) return;
  m_pButton = book->CreateObject(NBK_BUTTON_KIND);
  if (!m_pButton) return;
  unsigned long id = m_pButton->GetObjID();
  if (textObject) {
    textObject->StartTextButton(id);
    if (m_pTargetPage)
      static_cast<CNBKButtonObject*>(m_pButton)->SetJumpTo(m_pTargetPage, m_pTargetBlock);
  }
}

void CLinkAnchor::SetTarget(CNBKObject* page, CNBKTextObject* textObject) {
  if (!textObject) return;
  m_pTargetPage = page;
  m_pTargetBlock = textObject->GetBlock();
  if (m_pButton)
    static_cast<CNBKButtonObject*>(m_pButton)->SetJumpTo(m_pTargetPage, m_pTargetBlock);
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
}

std::u16string CHtmlPageConverter::StripOwnAddress(const std::u16string& href) const {
  std::u16string own = m_strScheme + m_strServer + m_strObject;
  if (!own.empty() && href.starts_with(own)) return href.substr(own.size());
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
      std::u16string rest = StripOwnAddress(href.Str());
      if (!rest.empty() && rest[0] == u'#') {
        std::size_t hashes = rest.find_first_not_of(u'#');
        rest.erase(0, hashes == std::u16string::npos ? rest.size() : hashes);
        if (CLinkAnchor* record = FindOrCreateAnchor(rest))
          record->StartLink(m_pBook, m_pTextObject);
      }
    }
  }

  BStr name;
  if (SUCCEEDED(anchor->get_name(&name)) && name) {
    if (CLinkAnchor* record = FindOrCreateAnchor(name.Str())) {
      if (!m_pTextObject) OpenTextBlock(nullptr);
      record->SetTarget(m_pPage, m_pTextObject);
    }
  }
}
