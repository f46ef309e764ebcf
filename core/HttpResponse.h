// Reads one HTTP/1.1 response as its bytes arrive from a server the program
// does not trust: the head, then a body framed by its length, by chunks or
// by the end of the connection. Nothing beyond the limits is held, and each
// call does work in proportion to the bytes it is given, however the server
// cuts them up, so the caller decides how much it reads at a time.
#ifndef MARVESK_CORE_HTTPRESPONSE_H_
#define MARVESK_CORE_HTTPRESPONSE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

struct HttpLimits {
  size_t body_bytes = 0;
  // The head, chunk size lines and trailers together: whatever is not body.
  // A stream of one-byte chunks spends it quickly.
  size_t head_bytes = 16 * 1024;
};

class HttpResponse {
 public:
  enum class State { kHead, kBody, kDone, kFailed };

  explicit HttpResponse(const HttpLimits& limits) : limits_(limits) {}

  // Takes the next bytes received; bytes after the end of the response are
  // ignored. Returns the state after them.
  State Feed(std::string_view bytes);
  // The server closed the connection: a body that runs to the close is
  // complete now; anything else cut short has failed.
  State Close();

  State state() const { return state_; }
  // The final status (an interim 1xx answer is skipped); 0 before it came.
  int status() const { return status_; }
  // The first header of that name (any case), its value trimmed; empty when
  // there is none.
  std::string Header(std::string_view name) const;
  const std::string& body() const { return body_; }

 private:
  enum class Framing { kLength, kChunked, kClose };
  enum class Chunk { kSize, kData, kDataEnd, kTrailer };

  bool TakeLine(std::string_view& bytes);
  void ReadHead(std::string_view& bytes);
  bool ReadStatus(std::string_view line);
  bool ReadHeader(std::string_view line);
  void StartBody();
  void ReadPlain(std::string_view& bytes);
  void ReadChunked(std::string_view& bytes);
  void ReadChunkSize();

  HttpLimits limits_;
  State state_ = State::kHead;
  Framing framing_ = Framing::kClose;
  Chunk chunk_ = Chunk::kSize;
  int status_ = 0;
  std::vector<std::pair<std::string, std::string>> headers_;  // names in lower case
  std::string line_;                                          // the line being read
  size_t overhead_ = 0;                                       // bytes that were not body so far
  size_t remaining_ = 0;                                      // of the body or of the chunk
  std::string body_;
};

}  // namespace core

#endif  // MARVESK_CORE_HTTPRESPONSE_H_
