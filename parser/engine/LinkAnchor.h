// One named place of a converted document and the links that jump to it. Links and names may
// come in either order; every button is connected as soon as both are known.
#pragma once

#include <string>
#include <vector>

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
  // The named place is block on page: every button made for the name jumps there, those made
  // before it included (the old code kept only the last of them).
  void SetTargetBlock(CNBKObject* page, CNBKObject* block);

  CNBKObject* m_pTargetPage = nullptr;
  CNBKObject* m_pTargetBlock = nullptr;
  // The latest button, and all of them in the order made.
  CNBKObject* m_pButton = nullptr;
  std::vector<CNBKObject*> m_buttons;
  std::u16string m_strName;
  // The name was met as a target (its first place counts, as a browser jumps to the first).
  bool m_bTargetMet = false;
};
