// SPDX-License-Identifier: ISC
// The online version check: the boxes shown for each kind of reply, in order
// and word for word, and the request against a small HTTP server of the
// test's own on 127.0.0.1 that answers, fails, stays silent or floods.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/http.h"
#include "synth/user_dialogs.h"
#include "synth/version_check.h"
#include "wobblytone_identity.h"

namespace {

// One thing the user saw: a box with OK, a box with Yes and No, or a page
// opened in the browser (its address in `text`).
struct Box {
  enum Kind { kMessage, kQuestion, kBrowser } kind;
  std::string title, text;
  bool operator==(const Box&) const = default;
};
[[maybe_unused]] std::ostream& operator<<(std::ostream& os, const Box& box) {
  static const char* const kinds[] = {"message", "question", "browser"};
  os << kinds[box.kind] << " [" << box.title << "] \"";
  // Long texts (the flood) stay readable in a failure report.
  const std::string& t = box.text;
  return os << (t.size() > 200 ? t.substr(0, 200) + "...(" + std::to_string(t.size()) + " chars)" : t) << '"';
}
using Boxes = std::vector<Box>;

// Answers at once, with the answers the test queued, and records every box.
class RecordingDialogs : public UserDialogs {
 public:
  explicit RecordingDialogs(std::deque<bool> answers = {}) : answers(std::move(answers)) {}
  void showMessage(const std::string& title, const std::string& text, std::function<void()> then) override {
    seen.push_back({Box::kMessage, title, text});
    then();
  }
  void askYesNo(const std::string& title, const std::string& text, std::function<void(bool)> then) override {
    seen.push_back({Box::kQuestion, title, text});
    if (answers.empty()) ADD_FAILURE() << "a question nobody expected: " << title;
    const bool yes = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    then(yes);
  }
  void openWebAddress(const std::string& url) override { seen.push_back({Box::kBrowser, "", url}); }

  Boxes seen;
  std::deque<bool> answers;
};

const std::string kHost = "marlpitmusic.com";
const VersionSite kSite = {kHost, "https://marlpitmusic.com/music/version/?file=wobblytone",
                           "https://marlpitmusic.com/music/vst.html"};

Box upToDate() { return {Box::kMessage, "Check Online for Update", "Your version is up to date."}; }
Box contactError(const std::string& host) {
  return {Box::kMessage, "Check Online for Update", "An error occurred while contacting " + host + "."};
}
Box invalidCall(const std::string& host) {
  return {Box::kMessage, "Check Online for Update", "Invalid call to " + host + "."};
}
Box newVersion(const std::string& shown, const std::string& host) {
  return {Box::kQuestion, "New Version of Wobblytone Detected",
          std::string("A new version of Wobblytone is available.\n\n\tYour version: \t") + Identity::kVersionText +
              "\n\tNew version: \t" + shown +
              "\n\nDo you want to go to " + host + " to get the new version?"};
}
Box browser(const std::string& url) { return {Box::kBrowser, "", url}; }

Boxes present(const std::string& body, bool failed, std::deque<bool> answers = {}) {
  RecordingDialogs dialogs(std::move(answers));
  presentVersionReply({body, failed}, kSite, dialogs);
  EXPECT_TRUE(dialogs.answers.empty()) << "a question that was expected did not come";
  return dialogs.seen;
}

TEST(VersionReply, NewVersionBoxWordForWord) {
  EXPECT_EQ(present("0816", false, {false}),
            (Boxes{{Box::kQuestion, "New Version of Wobblytone Detected",
                    std::string("A new version of Wobblytone is available.\n\n") + "\tYour version: \t" +
                        Identity::kVersionText + "\n" + "\tNew version: \t0.8.16\n" +
                    "\nDo you want to go to marlpitmusic.com to get the new version?"}}));
}

TEST(VersionReply, BoxesForEachKindOfBody) {
  const std::string download = kSite.downloadUrl;
  struct Case {
    const char* what;
    std::string body;
    bool failed;
    std::deque<bool> answers;
    Boxes expected;
  };
  const Case cases[] = {
      {"our own version", "0815", false, {}, {upToDate()}},
      {"an older one", "0700", false, {}, {upToDate()}},
      {"no number: 0", "abc", false, {}, {upToDate()}},
      {"a negative number", "-0900", false, {}, {upToDate()}},
      {"the next, declined", "0816", false, {false}, {newVersion("0.8.16", kHost)}},
      {"the next, accepted", "0816", false, {true}, {newVersion("0.8.16", kHost), browser(download)}},
      {"a nought in the tens", "0901", false, {false}, {newVersion("0.9.1", kHost)}},
      {"a major release", "1000", false, {true}, {newVersion("1.0.0", kHost), browser(download)}},
      {"what follows the number is shown", "0816\n", false, {false}, {newVersion("0.8.16\n", kHost)}},
      {"leading blanks and a sign are read", " +816", false, {false}, {newVersion(" .+.816", kHost)}},
      {"a number beyond any integer",
       "99999999999999999999999",
       false,
       {false},
       {newVersion("9.9.999999999999999999999", kHost)}},
      {"an HTML page", "<html><body>Not Found</body></html>", false, {}, {invalidCall(kHost)}},
      {"a '<' anywhere, even after a newer number", "0900 <", false, {}, {invalidCall(kHost)}},
      {"an HTML page from a failed transfer: still one box", "<html>", true, {}, {invalidCall(kHost)}},
      {"nothing", "", false, {}, {contactError(kHost)}},
      {"nothing, and failed: the error box once", "", true, {}, {contactError(kHost)}},
      {"ours, then the transfer failed", "0815", true, {}, {upToDate(), contactError(kHost)}},
      {"newer, declined, then failed", "0816", true, {false}, {newVersion("0.8.16", kHost), contactError(kHost)}},
      {"newer, accepted, then failed: the page opens before the error",
       "0816",
       true,
       {true},
       {newVersion("0.8.16", kHost), browser(download), contactError(kHost)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(present(c.body, c.failed, c.answers), c.expected);
  }
}

TEST(VersionReply, DisplayTextOfShortAndOddBodies) {
  EXPECT_EQ(newVersionDisplayText("0816"), "0.8.16");
  EXPECT_EQ(newVersionDisplayText("0900"), "0.9.0");
  EXPECT_EQ(newVersionDisplayText("900"), "9.0.");
  EXPECT_EQ(newVersionDisplayText("816"), "8.1.6");
  // Too short to split: shown as it came.
  EXPECT_EQ(newVersionDisplayText(""), "");
  EXPECT_EQ(newVersionDisplayText("9"), "9");
  EXPECT_EQ(newVersionDisplayText("99"), "99");
  // Bytes after a nought travel along, a NUL included.
  EXPECT_EQ(newVersionDisplayText(std::string("10\0x", 4)), std::string("1.0.\0x", 6));
}

// Holds every continuation until the test answers, as the editor's boxes do
// when the user clicks long after the command returned.
class LaterDialogs : public UserDialogs {
 public:
  void showMessage(const std::string& title, const std::string& text, std::function<void()> then) override {
    seen.push_back({Box::kMessage, title, text});
    pending.push_back([then](bool) { then(); });
  }
  void askYesNo(const std::string& title, const std::string& text, std::function<void(bool)> then) override {
    seen.push_back({Box::kQuestion, title, text});
    pending.push_back(std::move(then));
  }
  void openWebAddress(const std::string& url) override { seen.push_back({Box::kBrowser, "", url}); }
  void answer(bool yes) {
    ASSERT_FALSE(pending.empty());
    auto then = std::move(pending.front());
    pending.pop_front();
    then(yes);
  }
  Boxes seen;
  std::deque<std::function<void(bool)>> pending;
};

TEST(VersionReply, NextBoxWaitsForTheAnswerAndOutlivesTheReply) {
  LaterDialogs dialogs;
  {
    const HttpReply reply{"0816", true};
    const VersionSite site{"example.test", "http://example.test/v", "http://example.test/get"};
    presentVersionReply(reply, site, dialogs);
  }
  EXPECT_EQ(dialogs.seen, (Boxes{newVersion("0.8.16", "example.test")}));
  dialogs.answer(true);
  EXPECT_EQ(dialogs.seen, (Boxes{newVersion("0.8.16", "example.test"), browser("http://example.test/get"),
                                 contactError("example.test")}));
  dialogs.answer(false);  // the error box is the last
  EXPECT_TRUE(dialogs.pending.empty());
  EXPECT_EQ(dialogs.seen.size(), 3u);
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) saved = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (saved)
      setenv(name, saved->c_str(), 1);
    else
      unsetenv(name);
  }

 private:
  const char* name;
  std::optional<std::string> saved;
};

TEST(VersionSiteAddress, MakersSiteUnlessOverridden) {
  const auto site = [](const char* value) {
    ScopedEnv env("WOBBLYTONE_UPDATE_URL", value);
    const VersionSite s = versionSite();
    return std::vector<std::string>{s.host, s.versionUrl, s.downloadUrl};
  };
  const std::vector<std::string> maker = {"marlpitmusic.com", "https://marlpitmusic.com/music/version/?file=wobblytone",
                                          "https://marlpitmusic.com/music/vst.html"};
  EXPECT_EQ(site(nullptr), maker);
  EXPECT_EQ(site(""), maker);
  EXPECT_EQ(site("http://127.0.0.1:8080"),
            (std::vector<std::string>{"127.0.0.1", "http://127.0.0.1:8080/music/version/?file=wobblytone",
                                      "http://127.0.0.1:8080/music/vst.html"}));
  // A trailing slash does not double; user and port are not part of the host shown.
  EXPECT_EQ(site("https://me@updates.example.org:8443/"),
            (std::vector<std::string>{"updates.example.org",
                                      "https://me@updates.example.org:8443/music/version/?file=wobblytone",
                                      "https://me@updates.example.org:8443/music/vst.html"}));
  EXPECT_EQ(site("http://[::1]:9000")[0], "[::1]");
}

// A listening socket on 127.0.0.1 with a port the system picks.
int listenLocally(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

// A one-connection HTTP/1.1 server on its own thread: it accepts, reads the
// request head and hands the connection to the test's `serve`, then closes.
// Every wait also watches a stop pipe, so the destructor never hangs on a
// client that went away or never came.
class LocalServer {
 public:
  class Connection {
   public:
    // False once the client has gone or the server stops.
    bool send(std::string_view data) {
      while (!data.empty()) {
        if (!waitFor(POLLOUT)) return false;
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
        data.remove_prefix(static_cast<size_t>(n));
      }
      return true;
    }
    // Reads and drops until the client closes (or the server stops).
    void waitForClientToClose() {
      char buffer[512];
      while (waitFor(POLLIN) && recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
    }
    size_t sent = 0;

   private:
    friend class LocalServer;
    Connection(int fd, int stop) : fd(fd), stop(stop) {}
    bool waitFor(short events) {
      pollfd fds[2] = {{fd, events, 0}, {stop, POLLIN, 0}};
      while (poll(fds, 2, -1) < 0) {
      }
      return !(fds[1].revents & POLLIN) && (fds[0].revents & (events | POLLHUP | POLLERR));
    }
    int fd, stop;
  };

  explicit LocalServer(std::function<void(Connection&)> serve) {
    listener = listenLocally(portNumber);
    if (listener < 0 || pipe(stopPipe) != 0) {
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
      return;
    }
    thread = std::thread([this, serve = std::move(serve)] { run(serve); });
  }
  ~LocalServer() {
    if (thread.joinable()) {
      stop();
      thread.join();
    }
    for (int fd : {listener, stopPipe[0], stopPipe[1]})
      if (fd >= 0) close(fd);
  }
  // Makes every wait of the server give up: the connection closes.
  void stop() {
    const char byte = 1;
    (void)!write(stopPipe[1], &byte, 1);
  }
  // Waits until the server has served its one connection.
  void join() {
    if (thread.joinable()) thread.join();
  }

  std::string base() const { return "http://127.0.0.1:" + std::to_string(portNumber); }
  int port() const { return portNumber; }
  std::string request() {
    std::lock_guard lock(mutex);
    return requestHead;
  }
  size_t bytesSent() {
    std::lock_guard lock(mutex);
    return sentTotal;
  }

  // A complete reply with a length, then the server closes.
  static std::function<void(Connection&)> answer(std::string status, std::string body) {
    return [status, body](Connection& c) {
      c.send("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: close\r\n\r\n" + body);
    };
  }

 private:
  void run(const std::function<void(Connection&)>& serve) {
    Connection listening(listener, stopPipe[0]);
    if (!listening.waitFor(POLLIN)) return;
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    Connection connection(fd, stopPipe[0]);
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && connection.waitFor(POLLIN)) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    {
      std::lock_guard lock(mutex);
      requestHead = head;
    }
    serve(connection);
    {
      std::lock_guard lock(mutex);
      sentTotal = connection.sent;
    }
    close(fd);
  }

  int listener = -1;
  int portNumber = 0;
  int stopPipe[2] = {-1, -1};
  std::thread thread;
  std::mutex mutex;
  std::string requestHead;
  size_t sentTotal = 0;
};

// The whole check against the test's server, named by the environment.
class VersionCheckOnline : public ::testing::Test {
 protected:
  // A proxy set for the user must not take the test's traffic elsewhere.
  ScopedEnv noProxy{"no_proxy", "127.0.0.1"};
  ScopedEnv noProxyUpper{"NO_PROXY", "127.0.0.1"};

  Boxes check(LocalServer& server, std::deque<bool> answers = {}, long timeoutSeconds = 10) {
    ScopedEnv env("WOBBLYTONE_UPDATE_URL", server.base().c_str());
    RecordingDialogs dialogs(std::move(answers));
    checkVersionAgainstWeb(dialogs, timeoutSeconds);
    EXPECT_TRUE(dialogs.answers.empty()) << "a question that was expected did not come";
    return dialogs.seen;
  }
  const std::string host = "127.0.0.1";
};

TEST_F(VersionCheckOnline, AsksForTheVersionFileOverHttp11) {
  LocalServer server(LocalServer::answer("200 OK", "0815"));
  EXPECT_EQ(check(server), (Boxes{upToDate()}));
  const std::string head = server.request();
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /music/version/?file=wobblytone HTTP/1.1");
  EXPECT_NE(head.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos) << head;
}

TEST_F(VersionCheckOnline, RepliesThatArrive) {
  {
    LocalServer server(LocalServer::answer("200 OK", "abc"));
    EXPECT_EQ(check(server), (Boxes{upToDate()}));
  }
  {
    LocalServer server(LocalServer::answer("200 OK", "0816"));
    EXPECT_EQ(check(server, {false}), (Boxes{newVersion("0.8.16", host)}));
  }
  {
    LocalServer server(LocalServer::answer("200 OK", "0816"));
    EXPECT_EQ(check(server, {true}), (Boxes{newVersion("0.8.16", host), browser(server.base() + "/music/vst.html")}));
  }
  {
    LocalServer server(LocalServer::answer("200 OK", "1000"));
    EXPECT_EQ(check(server, {false}), (Boxes{newVersion("1.0.0", host)}));
  }
}

TEST_F(VersionCheckOnline, ErrorPagesAndEmptyReplies) {
  {
    LocalServer server(LocalServer::answer("404 Not Found", "<!DOCTYPE html><html><title>Not Found</title></html>"));
    EXPECT_EQ(check(server), (Boxes{invalidCall(host)}));
  }
  {
    LocalServer server(LocalServer::answer("200 OK", "<html>0900</html>"));
    EXPECT_EQ(check(server), (Boxes{invalidCall(host)}));
  }
  {
    LocalServer server(LocalServer::answer("200 OK", ""));
    EXPECT_EQ(check(server), (Boxes{contactError(host)}));
  }
  {  // an error status without markup: its text is read, then the error follows
    LocalServer server(LocalServer::answer("500 Internal Server Error", "0815"));
    EXPECT_EQ(check(server), (Boxes{upToDate(), contactError(host)}));
  }
}

TEST_F(VersionCheckOnline, ReplyCutShortShowsWhatCameThenTheError) {
  LocalServer server([](LocalServer::Connection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n0816");
  });
  EXPECT_EQ(check(server, {false}), (Boxes{newVersion("0.8.16", host), contactError(host)}));
}

TEST_F(VersionCheckOnline, RefusedConnectionShowsOnlyTheError) {
  int port = 0;
  const int fd = listenLocally(port);
  ASSERT_GE(fd, 0);
  close(fd);  // nobody listens there now
  ScopedEnv env("WOBBLYTONE_UPDATE_URL", ("http://127.0.0.1:" + std::to_string(port)).c_str());
  RecordingDialogs dialogs;
  checkVersionAgainstWeb(dialogs);
  EXPECT_EQ(dialogs.seen, (Boxes{contactError(host)}));
}

TEST_F(VersionCheckOnline, SilentServerGivesUpWithOnlyTheError) {
  LocalServer server([](LocalServer::Connection& c) { c.waitForClientToClose(); });
  auto boxes = std::async(std::launch::async, [&] { return check(server, {}, 1); });
  // A generous bound: the request must end by its own time-out, not never.
  if (boxes.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    server.stop();  // lets the request end so the test can report
    boxes.wait();
    FAIL() << "the request did not give up on a server that never answers";
  }
  EXPECT_EQ(boxes.get(), (Boxes{contactError(host)}));
}

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

constexpr size_t kHuge = 100'000'000;
constexpr size_t kCap = 64 * 1024;

TEST_F(VersionCheckOnline, HugeReplyIsCutAtTheCap) {
  LocalServer server([](LocalServer::Connection& c) {
    const std::string chunk(64 * 1024, 'x');
    if (!c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kHuge) + "\r\n\r\n0816")) return;
    for (size_t left = kHuge - 4; left > 0;) {
      const size_t n = std::min(left, chunk.size());
      if (!c.send(std::string_view(chunk).substr(0, n))) return;
      left -= n;
    }
  });
  const long peakBefore = peakResidentKiB();
  const Boxes boxes = check(server, {false});
  EXPECT_EQ(boxes, (Boxes{newVersion("0.8.16" + std::string(kCap - 4, 'x'), host), contactError(host)}));
  // Nothing near the whole reply was held, and the client stopped reading.
  EXPECT_LT(peakResidentKiB() - peakBefore, 32 * 1024);
  server.join();
  EXPECT_LT(server.bytesSent(), kHuge);
}

TEST(Http, BodyUpToTheCapIsWholeOneByteMoreFails) {
  ScopedEnv noProxy("no_proxy", "127.0.0.1");
  const auto get = [](size_t cap) {
    LocalServer server(LocalServer::answer("200 OK", "0123456789"));
    return httpGet(server.base() + "/x", 10, cap);
  };
  const HttpReply exact = get(10);
  EXPECT_EQ(exact.body, "0123456789");
  EXPECT_FALSE(exact.failed);
  const HttpReply over = get(9);
  EXPECT_EQ(over.body, "012345678");
  EXPECT_TRUE(over.failed);
}

// Without libcurl on the machine the request fails as a lost connection does
// (the version check then reports its error); with it, the same server answers.
TEST(Http, AMissingLibcurlFailsTheRequestAndNothingElse) {
  ScopedEnv noProxy("no_proxy", "127.0.0.1");
  LocalServer server(LocalServer::answer("200 OK", "0.8.15"));
  const HttpReply missing = httpGet(server.base() + "/x", 10, 1024, "libwobblytone-no-such-curl.so.4");
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.body, "");
  const HttpReply reached = httpGet(server.base() + "/x", 10, 1024);
  EXPECT_FALSE(reached.failed);
  EXPECT_EQ(reached.body, "0.8.15");
  server.join();
}

TEST(Http, OnlyWebAddressesAreFetched) {
  const HttpReply reply = httpGet("file:///etc/hostname", 10, 1024);
  EXPECT_TRUE(reply.failed);
  EXPECT_EQ(reply.body, "");
}

}  // namespace
