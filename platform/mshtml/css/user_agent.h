// The user-agent style sheet (HTML's rendering defaults) and the presentational attributes
// that act as style hints (align, bgcolor, text, <font color size>, nowrap, noshade).
#pragma once

#include <memory>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/stylesheet.h"

namespace platform::mshtml::css {

const std::shared_ptr<const ParsedStyleSheet>& UserAgentSheet();

// Appends the declarations e's presentational attributes stand for.
void AddPresentationalHints(const ElementView& e, std::vector<Declaration>& out);

}  // namespace platform::mshtml::css
