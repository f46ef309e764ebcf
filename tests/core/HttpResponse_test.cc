#include "core/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using State = core::HttpResponse::State;

struct Outcome {
  State state;
  int status;
  std::string body;  // compared when complete
};

// Feeds `bytes` in pieces of `piece` bytes (0: at once), then the close
// when asked.
Outcome Read(const std::string& bytes, size_t piece, bool close, size_t limit = 64) {
  core::HttpResponse response({.body_bytes = limit, .head_bytes = 256});
  const size_t step = piece ? piece : bytes.size();
  for (size_t i = 0; i < bytes.size(); i += step) {
    response.Feed(std::string_view(bytes).substr(i, step));
  }
  if (close) response.Close();
  return {response.state(), response.status(), response.body()};
}

TEST(HttpResponse, FramingsLimitsAndBrokenAnswersHoweverTheBytesAreCut) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const struct {
    const char* name;
    std::string bytes;
    bool close;  // the server hangs up afterwards
    Outcome expected;
  } cases[] = {
      {"length",
       ok + "Content-Length: 5\r\n\r\nHallo und mehr",
       false,
       {State::kDone, 200, "Hallo"}},
      {"chunks",
       ok + "Transfer-Encoding: chunked\r\n\r\n2;x=y\r\nHa\r\n3\r\nllo\r\n0\r\nT: 1\r\n\r\n",
       false,
       {State::kDone, 200, "Hallo"}},
      {"to the close", ok + "\r\nHallo", true, {State::kDone, 200, "Hallo"}},
      {"LF only", "HTTP/1.0 404 Weg\nContent-Length: 1\n\nx", false, {State::kDone, 404, "x"}},
      {"interim answer first",
       "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 1\r\n\r\nx",
       false,
       {State::kDone, 200, "x"}},
      {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, {State::kDone, 204, ""}},
      {"declared too long", ok + "Content-Length: 65\r\n\r\n", false, {State::kFailed, 200, ""}},
      {"too long to the close",
       ok + "\r\n" + std::string(65, 'x'),
       true,
       {State::kFailed, 200, ""}},
      {"chunk too long",
       ok + "Transfer-Encoding: chunked\r\n\r\n41\r\n",
       false,
       {State::kFailed, 200, ""}},
      {"cut short", ok + "Content-Length: 9\r\n\r\nHallo", true, {State::kFailed, 200, ""}},
      {"chunks cut short",
       ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nHa\r\n",
       true,
       {State::kFailed, 200, ""}},
      {"coded body",
       ok + "Transfer-Encoding: gzip, chunked\r\n\r\n",
       false,
       {State::kFailed, 200, ""}},
      {"two lengths",
       ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nxy",
       false,
       {State::kFailed, 200, ""}},
      {"signed length", ok + "Content-Length: -1\r\n\r\n", false, {State::kFailed, 200, ""}},
      {"no status line", "Hallo\r\n\r\n", false, {State::kFailed, 0, ""}},
      {"folded header", ok + "A: 1\r\n 2\r\n\r\n", false, {State::kFailed, 200, ""}},
      {"bad chunk size",
       ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n",
       false,
       {State::kFailed, 200, ""}},
      {"data past the chunk",
       ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nxy\r\n",
       false,
       {State::kFailed, 200, ""}},
      {"endless head", ok + "X: " + std::string(300, 'x'), false, {State::kFailed, 200, ""}},
  };
  for (const auto& c : cases) {
    for (size_t piece : {0, 1, 3}) {
      const Outcome o = Read(c.bytes, piece, c.close);
      EXPECT_EQ(o.state, c.expected.state) << c.name << ", pieces of " << piece;
      EXPECT_EQ(o.status, c.expected.status) << c.name << ", pieces of " << piece;
      if (o.state == State::kDone) {
        EXPECT_EQ(o.body, c.expected.body) << c.name << ", pieces of " << piece;
      }
    }
  }
}

TEST(HttpResponse, HeadersByNameInAnyCase) {
  core::HttpResponse response({.body_bytes = 10});
  response.Feed(
      "HTTP/1.1 200 OK\r\nContent-Type:  text/html; charset=utf-8 \r\n"
      "content-type: zweiter\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(response.state(), State::kDone);
  EXPECT_EQ(response.Header("CONTENT-TYPE"), "text/html; charset=utf-8");
  EXPECT_EQ(response.Header("Location"), "");
}

// One-byte chunks as fast as the socket takes them: the chunk lines spend
// the allowance for what is not body long before the body's limit.
TEST(HttpResponse, EndlessTinyChunksFailEarly) {
  core::HttpResponse response({.body_bytes = 256 * 1024});
  response.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
  std::string stream;
  for (int i = 0; i < 10000; ++i) stream += "1\r\nx\r\n";
  size_t fed = 0;
  while (response.state() == State::kBody && fed < 100 * stream.size()) {
    response.Feed(stream);
    fed += stream.size();
  }
  EXPECT_EQ(response.state(), State::kFailed);
  EXPECT_EQ(fed, stream.size()) << "within the first 60 KB";
  EXPECT_LE(response.body().size(), 16u * 1024 / 5);
}

}  // namespace
