// Reference resolution for the addresses the document model reports (hrefs, frame and style
// sheet addresses).
#pragma once

#include <string>
#include <string_view>

namespace platform::mshtml {

// Resolves ref against the absolute address base (RFC 3986 section 5.2, dot segments removed).
// A base of "about:blank" (or any base without "//" authority that cannot be a hierarchy, such
// as "about:") gives base + ref as written, as the old browser did for documents without an
// address. An absolute ref is returned as written.
std::string ResolveUrl(std::string_view base, std::string_view ref);

// True when ref starts with a scheme ("http:", "file:"); a Windows drive ("C:") is no scheme.
bool HasScheme(std::string_view ref);

// True for an http: or https: address (scheme in any case). A document from the web reaches
// only such addresses: never a file: address or a plain path of the reader's own disk.
bool IsWebAddress(std::string_view url);

// Strips leading and trailing ASCII white space and removes tabs and line breaks inside, as
// browsers do with an attribute that holds an address.
std::string CleanUrlAttribute(std::string_view value);

}  // namespace platform::mshtml
