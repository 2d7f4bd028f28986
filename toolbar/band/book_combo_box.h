// The combo box of books in the band's toolbar. A selection made in its drop-down list is
// forwarded to the band window as a posted command, so the band follows it only after the
// combo box has taken the new row.
#pragma once

#include "platform/win32/ui/wrappers.h"

class CToolbarBand;

class CBookComboBox : public CComboBox {
 public:
  explicit CBookComboBox(const CToolbarBand& band) : m_band(band) {}

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  const CToolbarBand& m_band;
};
