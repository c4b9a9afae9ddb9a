// SPDX-License-Identifier: ISC
// One blocking HTTP GET through libcurl, bounded in time and in size, for the
// version check. It never raises signals, since it runs inside a host.
#pragma once

#include <cstddef>
#include <string>

struct HttpReply {
  std::string body;  // what arrived, at most the cap
  bool failed;       // the transfer did not end cleanly, or the status was 400 or above
};

// The system's libcurl, which httpGet opens on its first request.
constexpr const char* kLibcurl = "libcurl.so.4";

// GET over HTTP/1.1 (http or https only). `timeoutSeconds` bounds the whole
// transfer (at least 1 s); connecting gets half of it, at least 1 s. A body
// longer than `maxBodyBytes` is cut there and the reply counts as failed. A
// `library` that cannot be opened fails the request as a lost connection does.
HttpReply httpGet(const std::string& url, long timeoutSeconds, size_t maxBodyBytes,
                  const std::string& library = kLibcurl);
