// SPDX-License-Identifier: ISC
#include "platform/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

// libcurl's global set-up is not safe to race with itself, and a host may
// open several instances on several threads. It is never undone: other code
// in the same process may be using libcurl too.
bool curlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
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

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

HttpReply httpGet(const std::string& url, long timeoutSeconds, size_t maxBodyBytes) {
  HttpReply reply{{}, true};
  if (!curlReady()) return reply;
  std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
  if (!curl) return reply;
  CURL* c = curl.get();

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

  const CURLcode result = curl_easy_perform(c);
  long status = 0;
  if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  // An error status keeps its body: an error page is recognised by its text.
  reply.failed = result != CURLE_OK || status >= 400;
  return reply;
}
