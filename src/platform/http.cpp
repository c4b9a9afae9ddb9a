// SPDX-License-Identifier: ISC
#include "platform/http.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

// libcurl, opened when the first request is made rather than when a host
// loads the plug-in: it and the libraries it pulls in cost most of the
// plug-in's load time, and only the version check uses them.
struct Curl {
  CURLcode (*globalInit)(long);
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL*, CURLoption, ...);
  CURLcode (*easyPerform)(CURL*);
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
  void (*easyCleanup)(CURL*);
};

template <class F>
bool bind(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

// The library of this name, opened and set up once for the process (its
// global set-up is not safe to race with itself, and a host may open several
// instances on several threads), or nullptr when it is missing or unusable.
// It is never closed: other code in the process may be using it too.
const Curl* openCurl(const std::string& soname) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<Curl>> opened;
  std::lock_guard<std::mutex> lock(mutex);
  if (const auto found = opened.find(soname); found != opened.end()) return found->second.get();
  std::unique_ptr<Curl> curl;
  if (void* library = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    curl = std::make_unique<Curl>();
    const bool bound = bind(library, "curl_global_init", curl->globalInit) &&
                       bind(library, "curl_easy_init", curl->easyInit) &&
                       bind(library, "curl_easy_setopt", curl->easySetopt) &&
                       bind(library, "curl_easy_perform", curl->easyPerform) &&
                       bind(library, "curl_easy_getinfo", curl->easyGetinfo) &&
                       bind(library, "curl_easy_cleanup", curl->easyCleanup);
    if (!bound || curl->globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) curl.reset();
  }
  return (opened[soname] = std::move(curl)).get();
}

struct Sink {
  std::string* body;
  size_t cap;
};

// Keeps at most `cap` bytes. Taking fewer bytes than offered makes libcurl
// end the transfer with an error, so a huge reply is never read to its end.
size_t keep(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const size_t offered = size * count;
  const size_t room = sink.cap - std::min(sink.cap, sink.body->size());
  const size_t taken = std::min(offered, room);
  try {
    sink.body->append(data, taken);
  } catch (...) {  // nothing may be thrown through libcurl
    return 0;
  }
  return taken;
}

}  // namespace

HttpReply httpGet(const std::string& url, long timeoutSeconds, size_t maxBodyBytes, const std::string& library) {
  HttpReply reply{{}, true};
  const Curl* api = openCurl(library);
  if (!api) return reply;
  const auto cleanup = [api](CURL* c) { api->easyCleanup(c); };
  std::unique_ptr<CURL, decltype(cleanup)> curl(api->easyInit(), cleanup);
  if (!curl) return reply;
  CURL* c = curl.get();
  const auto curl_easy_setopt = api->easySetopt;

  // A time-out of 0 would mean none at all to libcurl.
  const long total = std::max(1L, timeoutSeconds);
  const long connect = std::max(1L, total / 2);
  Sink sink{&reply.body, maxBodyBytes};

  bool ok = curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK;
  // The address may come from the environment: nothing but the web.
  ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_HTTPGET, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) == CURLE_OK;
  // The host owns the process's signals; name look-ups must not use SIGALRM.
  ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, connect) == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_TIMEOUT, total) == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, keep) == CURLE_OK;
  ok = ok && curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
  if (!ok) return reply;

  const CURLcode result = api->easyPerform(c);
  long status = 0;
  if (api->easyGetinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  // An error status keeps its body: an error page is recognised by its text.
  reply.failed = result != CURLE_OK || status >= 400;
  return reply;
}
