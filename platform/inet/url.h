// The URL parser the system's code calls: splits an absolute address into service type, server,
// object and port. The split is lossless: SchemePrefix(type) + server + object gives the address
// back (for the schemes written with "//"), so a port written in the address stays in the server
// part ("127.0.0.1:8080") and the object keeps query and fragment.
#pragma once

#include <string>

#include "platform/com/types.h"

using INTERNET_PORT = WORD;

// Service types, with the values of the original framework.
constexpr DWORD AFX_INET_SERVICE_FTP = 1;
constexpr DWORD AFX_INET_SERVICE_GOPHER = 2;
constexpr DWORD AFX_INET_SERVICE_HTTP = 3;
constexpr DWORD AFX_INET_SERVICE_UNK = 0x1000;
constexpr DWORD AFX_INET_SERVICE_FILE = 0x1001;
constexpr DWORD AFX_INET_SERVICE_MAILTO = 0x1002;
constexpr DWORD AFX_INET_SERVICE_NEWS = 0x1005;
constexpr DWORD AFX_INET_SERVICE_HTTPS = 0x100B;

constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;
constexpr INTERNET_PORT INTERNET_DEFAULT_FTP_PORT = 21;
constexpr INTERNET_PORT INTERNET_DEFAULT_GOPHER_PORT = 70;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

// Splits url. On success returns TRUE and sets all four outputs:
//  - "http://h:8080/p?q#f": HTTP, server "h:8080", object "/p?q#f", port 8080;
//    "http://h" has the object "" and the port 80;
//  - "file:///home/u/p.html": FILE, server "", object "/home/u/p.html", port 0;
//  - "mailto:a@b", "news:group": the text after the colon is the object, server "";
//  - "about:blank...": UNK (no scheme prefix exists for it), object = the text after "about:".
// Schemes are matched case-insensitively. Relative addresses, unknown schemes, an empty or
// malformed host, and a port that is not a number up to 65535 fail: FALSE, serviceType
// AFX_INET_SERVICE_UNK (or the scheme's type when only the rest is malformed), server and object
// empty, port 0.
BOOL AfxParseURL(LPCWSTR url, DWORD& serviceType, std::u16string& server, std::u16string& object,
                 INTERNET_PORT& port);
