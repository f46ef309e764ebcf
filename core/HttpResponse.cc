#include "core/HttpResponse.h"

#include <algorithm>

namespace core {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

HttpResponse::State HttpResponse::Feed(std::string_view bytes) {
  while (!bytes.empty() && (state_ == State::kHead || state_ == State::kBody)) {
    if (state_ == State::kHead) {
      ReadHead(bytes);
    } else if (framing_ == Framing::kChunked) {
      ReadChunked(bytes);
    } else {
      ReadPlain(bytes);
    }
  }
  return state_;
}

HttpResponse::State HttpResponse::Close() {
  if (state_ == State::kBody && framing_ == Framing::kClose) {
    state_ = State::kDone;
  } else if (state_ != State::kDone) {
    state_ = State::kFailed;
  }
  return state_;
}

std::string HttpResponse::Header(std::string_view name) const {
  const std::string lower = Lower(name);
  for (const auto& [n, value] : headers_) {
    if (n == lower) return value;
  }
  return {};
}

// Moves the bytes up to a line end into line_. True once line_ holds a whole
// line (without its LF or CR LF); false for more to come or a failure.
bool HttpResponse::TakeLine(std::string_view& bytes) {
  const size_t lf = bytes.find('\n');
  const size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
  overhead_ += take;
  if (overhead_ > limits_.head_bytes) {
    state_ = State::kFailed;
    return false;
  }
  line_.append(bytes.substr(0, take));
  bytes.remove_prefix(take);
  if (lf == std::string_view::npos) return false;
  line_.pop_back();
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return true;
}

void HttpResponse::ReadHead(std::string_view& bytes) {
  if (!TakeLine(bytes)) return;
  const std::string line = std::move(line_);
  line_.clear();
  if (status_ == 0) {
    // An empty line before the status line is tolerated.
    if (!line.empty() && !ReadStatus(line)) state_ = State::kFailed;
  } else if (!line.empty()) {
    if (!ReadHeader(line)) state_ = State::kFailed;
  } else if (status_ < 200) {
    // An interim answer ("100 Continue"); the real one follows.
    status_ = 0;
    headers_.clear();
  } else {
    StartBody();
  }
}

// "HTTP/1.1 200 OK"
bool HttpResponse::ReadStatus(std::string_view line) {
  if (!line.starts_with("HTTP/1.") || line.size() < 12 || line[8] != ' ') return false;
  int status = 0;
  for (size_t i = 9; i < 12; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    status = status * 10 + (line[i] - '0');
  }
  if (status < 100 || (line.size() > 12 && line[12] != ' ')) return false;
  status_ = status;
  return true;
}

// "Name: value"; a folded line (one that starts with a blank) is not taken.
bool HttpResponse::ReadHeader(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos || IsBlank(line[0])) return false;
  const std::string_view name = line.substr(0, colon);
  if (std::any_of(name.begin(), name.end(), IsBlank)) return false;
  headers_.emplace_back(Lower(name), std::string(TrimBlanks(line.substr(colon + 1))));
  return true;
}

void HttpResponse::StartBody() {
  state_ = State::kBody;
  if (status_ == 204 || status_ == 304) {
    state_ = State::kDone;
    return;
  }
  size_t lengths = 0;
  for (const auto& [name, value] : headers_) {
    if (name == "transfer-encoding") {
      // Chunks alone; compressed or otherwise coded bodies are not asked for.
      if (Lower(value) != "chunked") state_ = State::kFailed;
      framing_ = Framing::kChunked;
    } else if (name == "content-length") {
      ++lengths;
      if (value.empty() || value.size() > 12 ||
          value.find_first_not_of("0123456789") != std::string::npos) {
        state_ = State::kFailed;
        return;
      }
      remaining_ = std::stoull(value);
    }
  }
  if (framing_ == Framing::kChunked) return;
  if (lengths > 1 || remaining_ > limits_.body_bytes) {
    state_ = State::kFailed;
  } else if (lengths == 1) {
    framing_ = Framing::kLength;
    if (remaining_ == 0) state_ = State::kDone;
  }
}

void HttpResponse::ReadPlain(std::string_view& bytes) {
  const size_t take =
      framing_ == Framing::kLength ? std::min(bytes.size(), remaining_) : bytes.size();
  if (body_.size() + take > limits_.body_bytes) {
    state_ = State::kFailed;
    return;
  }
  body_.append(bytes.substr(0, take));
  bytes.remove_prefix(take);
  if (framing_ == Framing::kLength) {
    remaining_ -= take;
    if (remaining_ == 0) state_ = State::kDone;
  }
}

void HttpResponse::ReadChunked(std::string_view& bytes) {
  if (chunk_ == Chunk::kData) {
    const size_t take = std::min(bytes.size(), remaining_);
    body_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    remaining_ -= take;
    if (remaining_ == 0) chunk_ = Chunk::kDataEnd;
    return;
  }
  if (!TakeLine(bytes)) return;
  switch (chunk_) {
    case Chunk::kSize:
      ReadChunkSize();
      break;
    case Chunk::kDataEnd:
      // Nothing may stand between a chunk's data and its line end.
      if (!line_.empty()) state_ = State::kFailed;
      chunk_ = Chunk::kSize;
      break;
    case Chunk::kTrailer:
      if (line_.empty()) state_ = State::kDone;
      break;
    case Chunk::kData:
      break;
  }
  line_.clear();
}

// "1a;name=value": hex digits, perhaps an extension (ignored).
void HttpResponse::ReadChunkSize() {
  size_t size = 0;
  size_t i = 0;
  for (; i < line_.size() && HexDigit(line_[i]) >= 0; ++i) {
    if (i >= 15) {
      state_ = State::kFailed;
      return;
    }
    size = size * 16 + static_cast<size_t>(HexDigit(line_[i]));
  }
  if (i == 0 || (i < line_.size() && line_[i] != ';' && !IsBlank(line_[i]))) {
    state_ = State::kFailed;
  } else if (size == 0) {
    chunk_ = Chunk::kTrailer;
  } else if (body_.size() + size > limits_.body_bytes) {
    state_ = State::kFailed;
  } else {
    remaining_ = size;
    chunk_ = Chunk::kData;
  }
}

}  // namespace core
