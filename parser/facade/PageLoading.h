// What the page loader tells hosts beside CNBParser's results.
#pragma once

#include "parser/facade/NBParser.h"

// The charset code of the page this process loaded by address most recently, -1 before any.
// For hosts that report it; the converter keeps its own code in m_nCodePage.
NBPARSER_API int LastLoadedCharsetCode();
