// One named place of a converted document and the latest link that jumps to it. Links and
// names may come in either order; the button is connected as soon as both are known.
#pragma once

#include <string>

class CNBKBook;
class CNBKObject;
class CNBKTextObject;

class CLinkAnchor {
 public:
  CLinkAnchor() = default;
  virtual ~CLinkAnchor() = default;

  // A link to this name: a new button, started in textObject (may be NULL) and connected at
  // once when the place is already known.
  void StartLink(CNBKBook* book, CNBKTextObject* textObject);
  // The named place: the block of textObject on page; ignored without a text object.
  void SetTarget(CNBKObject* page, CNBKTextObject* textObject);

  CNBKObject* m_pTargetPage = nullptr;
  CNBKObject* m_pTargetBlock = nullptr;
  CNBKObject* m_pButton = nullptr;
  std::u16string m_strName;
};
