#include "FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "core/LineReader.h"
#include "core/Separator.h"

namespace fuzz {
namespace {

// The directory removes itself with everything in it when the process ends
// normally; a crashed run leaves it for the post-mortem.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    dir_ = base / ("marvesk_fuzz_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_, ec);
    std::filesystem::create_directories(dir_, ec);
    if (ec) Fail(__FILE__, __LINE__, "create_directories", dir_.string() + ": " + ec.message());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

const ScratchDir& Scratch() {
  static const ScratchDir dir;
  return dir;
}

}  // namespace

void Fail(const char* file, int line, const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

uint32_t FuzzInput::Below(uint32_t bound) {
  uint32_t v = Byte();
  if (bound > 256) v = (v << 8) | Byte();
  if (bound > 65536) v = (v << 8) | Byte();
  return v % bound;
}

std::string_view FuzzInput::Take(size_t n) {
  n = std::min(n, size_ - std::min(pos_, size_));
  std::string_view s(data_ + pos_, n);
  pos_ += n;
  return s;
}

std::string ScratchPath(const std::string& name) { return (Scratch().path() / name).string(); }

std::string WriteScratch(const std::string& name, std::string_view bytes) {
  const std::string path = ScratchPath(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  FUZZ_CHECK(out.good(), "could not write " + path);
  return path;
}

std::string ReadScratch(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Snapshot TakeSnapshot(const core::LoadResult& r, const core::Table& t, const QuietObserver& obs) {
  Snapshot s;
  s.status = CodeOf(r);
  s.separator = r.separator;
  s.detected = r.detected;
  s.stopped = r.stopped;
  s.utf8 = t.utf8();
  s.unclosed_quote = r.unclosed_quote;
  s.looks_quoted = r.looks_quoted;
  s.stored_rows = r.stored_rows;
  s.lines_read = r.lines_read;
  s.cols = t.ColCount();
  s.rows = t.RowCount();
  s.progress = obs.progress();
  for (int row = 0; row < t.RowCount(); ++row) {
    int used = std::min(std::max(static_cast<int>(t.StoredLength(row)), 1), t.ColCount());
    while (used > 0 && t.Get(used - 1, row).empty()) --used;
    for (int col = 0; col < used; ++col) {
      const std::string_view cell = t.Get(col, row);
      s.cells += std::to_string(cell.size());
      s.cells += ':';
      s.cells += cell;
    }
    s.cells += '\n';
  }
  return s;
}

std::string Describe(const Snapshot& a, const Snapshot& b) {
  std::ostringstream out;
  auto field = [&](const char* name, auto x, auto y) {
    if (x != y) out << name << ": " << +x << " vs " << +y << "\n";
  };
  field("status", a.status, b.status);
  field("separator", a.separator, b.separator);
  field("detected", a.detected, b.detected);
  field("stopped", a.stopped, b.stopped);
  field("utf8", a.utf8, b.utf8);
  field("unclosed_quote", a.unclosed_quote, b.unclosed_quote);
  field("looks_quoted", a.looks_quoted, b.looks_quoted);
  field("stored_rows", a.stored_rows, b.stored_rows);
  field("lines_read", a.lines_read, b.lines_read);
  field("ColCount", a.cols, b.cols);
  field("RowCount", a.rows, b.rows);
  field("progress reports", a.progress.size(), b.progress.size());
  if (a.cells != b.cells) out << "cells: " << Escaped(a.cells) << "\n  vs " << Escaped(b.cells);
  return out.str();
}

std::vector<std::string> ModelLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size() && bytes[pos] != core::kCtrlZ) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string text;
    for (size_t i = pos; i < end && bytes[i] != core::kCtrlZ; ++i) {
      if (bytes[i] != '\r') text += bytes[i];
    }
    lines.push_back(std::move(text));
    pos = end == bytes.size() ? end : end + 1;
  }
  return lines;
}

std::pair<char, size_t> ModelDetect(const std::vector<std::string>& lines) {
  const size_t probe = std::min<size_t>(lines.size(), 100);
  for (char candidate : {';', ',', '\t'}) {
    for (size_t i = 0; i < probe; ++i) {
      const size_t n = core::SplitText(std::string(1, candidate), lines[i], 0).size();
      if (n > 2) return {candidate, n};
    }
  }
  return {'\t', 0};
}

std::string Escaped(std::string_view bytes) {
  std::string s = "\"";
  for (size_t i = 0; i < bytes.size() && i < 600; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      s += static_cast<char>(c);
    } else {
      s += "\\x";
      s += "0123456789abcdef"[c >> 4];
      s += "0123456789abcdef"[c & 15];
    }
  }
  if (bytes.size() > 600) s += "...(" + std::to_string(bytes.size()) + " bytes)";
  return s + "\"";
}

}  // namespace fuzz
