#include "platform/inet/curl_api.h"

#include <mutex>

#include "platform/loader/library.h"

namespace platform::inet {

const CurlApi* Curl(std::string& error) {
  static CurlApi api{};
  static bool loaded = false;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string why;
    // The soname the build found, then the same file in the folder pkg-config named, for an
    // installation outside the loader's search path.
    void* library = loader::OpenLibrary({NB_CURL_SONAME, NB_CURL_LIBDIR "/" NB_CURL_SONAME}, why);
    decltype(&::curl_global_init) globalInit = nullptr;
    bool ok = library && loader::Bind(library, "curl_global_init", globalInit, why) &&
              loader::Bind(library, "curl_easy_init", api.easyInit, why) &&
              loader::Bind(library, "curl_easy_setopt", api.easySetopt, why) &&
              loader::Bind(library, "curl_easy_getinfo", api.easyGetinfo, why) &&
              loader::Bind(library, "curl_easy_cleanup", api.easyCleanup, why) &&
              loader::Bind(library, "curl_easy_strerror", api.easyStrerror, why) &&
              loader::Bind(library, "curl_multi_init", api.multiInit, why) &&
              loader::Bind(library, "curl_multi_add_handle", api.multiAddHandle, why) &&
              loader::Bind(library, "curl_multi_remove_handle", api.multiRemoveHandle, why) &&
              loader::Bind(library, "curl_multi_perform", api.multiPerform, why) &&
              loader::Bind(library, "curl_multi_info_read", api.multiInfoRead, why) &&
              loader::Bind(library, "curl_multi_poll", api.multiPoll, why) &&
              loader::Bind(library, "curl_multi_cleanup", api.multiCleanup, why) &&
              loader::Bind(library, "curl_slist_append", api.slistAppend, why) &&
              loader::Bind(library, "curl_slist_free_all", api.slistFreeAll, why);
    if (ok && globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      ok = false;
      why = "curl_global_init failed";
    }
    loaded = ok;
    if (!ok) failure = std::string("cannot load " NB_CURL_SONAME ": ") + why;
  });
  if (!loaded) {
    error = failure;
    return nullptr;
  }
  return &api;
}

}  // namespace platform::inet
