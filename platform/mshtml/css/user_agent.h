// The user-agent style sheet (HTML's rendering defaults) and the presentational attributes
// that act as style hints (align, bgcolor, text, <font color size>, nowrap, noshade).
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/stylesheet.h"

namespace platform::mshtml::css {

const std::shared_ptr<const ParsedStyleSheet>& UserAgentSheet();

// Appends the declarations e's presentational attributes stand for.
void AddPresentationalHints(const ElementView& e, std::vector<Declaration>& out);

// The attributes AddPresentationalHints reads the values of (of the element or an ancestor),
// and those it asks only whether they are there.
std::span<const std::string_view> HintValueAttributes();
std::span<const std::string_view> HintPresenceAttributes();

}  // namespace platform::mshtml::css
