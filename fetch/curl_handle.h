#pragma once
// The one way a libcurl handle is made: owned, cleaned up, and set never to
// time out a name lookup by a signal (transfers run on threads of their
// own, and the signal would come to whichever thread it pleased).
#include <curl/curl.h>
#include <memory>

struct CleanUpCurl {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CleanUpCurl>;

inline CurlHandle new_curl_handle() {
  CurlHandle handle(curl_easy_init());
  if (handle) curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
  return handle;
}
