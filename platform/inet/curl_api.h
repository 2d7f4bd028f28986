// libcurl, opened on the first transfer rather than linked into the process: a program that
// never fetches an address (a conversion of a local page) does not load it and the thirty-odd
// libraries it brings.
#pragma once

#include <curl/curl.h>

#include <string>

namespace platform::inet {

// The functions the transfers call. Members are not named as libcurl's own, which curl.h may
// define as type-checking macros.
struct CurlApi {
  decltype(&::curl_easy_init) easyInit;
  decltype(&::curl_easy_setopt) easySetopt;
  decltype(&::curl_easy_getinfo) easyGetinfo;
  decltype(&::curl_easy_cleanup) easyCleanup;
  decltype(&::curl_easy_strerror) easyStrerror;
  decltype(&::curl_multi_init) multiInit;
  decltype(&::curl_multi_add_handle) multiAddHandle;
  decltype(&::curl_multi_remove_handle) multiRemoveHandle;
  decltype(&::curl_multi_perform) multiPerform;
  decltype(&::curl_multi_info_read) multiInfoRead;
  decltype(&::curl_multi_poll) multiPoll;
  decltype(&::curl_multi_cleanup) multiCleanup;
  decltype(&::curl_slist_append) slistAppend;
  decltype(&::curl_slist_free_all) slistFreeAll;
};

// libcurl's functions, loaded and globally initialised once per process. Null when the library
// cannot be loaded or lacks a function; error then says which library and why.
const CurlApi* Curl(std::string& error);

}  // namespace platform::inet
