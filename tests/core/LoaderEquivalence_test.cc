// The block scanner of LoadTable must give exactly what the line-by-line
// reading of LoadTableSimple gives, on any bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "core/Loader.h"
#include "core/Table.h"

namespace core {
namespace {

using testing_support::RecordingObserver;
using testing_support::TempDirTest;

const char kAlphabet[] = {'a', 'b', ';', ',', '\t', '\r', '\n', '\x1a', '\xE4', ' '};
constexpr size_t kAlphabetSize = sizeof kAlphabet;

struct Outcome {
  Code status;
  char separator;
  bool detected, stopped, utf8;
  int64_t stored_rows, lines_read;
  int cols, rows;
  std::string cells;  // the cells row by row, each as its length and its bytes
  std::vector<std::pair<int, int64_t>> progress;
  int64_t escape_polls;
  int confirm_asked;
};

using testing_support::LoadFn;

struct Options {
  bool auto_detect = true;
  char separator = ';';
  int64_t escape_at_poll = 0;  // answered No
};

Outcome LoadAndRecord(LoadFn fn, const std::string& path, const Options& o) {
  Table t;
  ClearGrid(t);
  RecordingObserver obs(o.separator);
  obs.escape_at_poll = o.escape_at_poll;
  obs.confirm_answer = false;
  const LoadResult r = fn(path, o.auto_detect, t, obs);
  Outcome out{r.status.code(), r.separator,      r.detected,       r.stopped,    t.utf8(),
              r.stored_rows,   r.lines_read,     t.ColCount(),     t.RowCount(), {},
              obs.progress,    obs.escape_polls, obs.confirm_asked};
  // Each row up to its last stored cell (beyond, the cells read empty).
  for (int row = 0; row < t.RowCount(); ++row) {
    const int stored = std::min(static_cast<int>(t.StoredLength(row)), t.ColCount());
    int used = stored;
    while (used > 0 && t.Get(used - 1, row).empty()) --used;
    for (int col = 0; col < used; ++col) {
      const std::string_view cell = t.Get(col, row);
      const uint32_t n = static_cast<uint32_t>(cell.size());
      out.cells.append(reinterpret_cast<const char*>(&n), sizeof n);
      out.cells += cell;
    }
    out.cells += '\n';
  }
  return out;
}

std::string Escaped(const std::string& bytes) {
  if (bytes.size() > 400) return "(" + std::to_string(bytes.size()) + " bytes)";
  std::ostringstream s;
  s << '"';
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      s << c;
    } else {
      s << "\\x"
        << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
    }
  }
  s << '"';
  return s.str();
}

class LoaderEquivalenceTest : public TempDirTest {
 protected:
  // Loads `bytes` both ways and compares everything; false on a difference.
  bool Compare(const std::string& bytes, const Options& o) {
    const std::string path = WriteFile("eq.txt", bytes);
    const Outcome fast = LoadAndRecord(&LoadTable, path, o);
    const Outcome simple = LoadAndRecord(&LoadTableSimple, path, o);
    std::ostringstream where;
    where << "input " << Escaped(bytes) << (o.auto_detect ? " detected" : " separator ")
          << (o.auto_detect ? std::string() : Escaped(std::string(1, o.separator))) << " escape at "
          << o.escape_at_poll;
    bool same = true;
    auto check = [&](bool ok, const char* what) {
      if (!ok) {
        ADD_FAILURE() << what << " differs for " << where.str();
        same = false;
      }
    };
    check(fast.status == simple.status, "status");
    check(fast.separator == simple.separator, "separator");
    check(fast.detected == simple.detected, "detected");
    check(fast.stopped == simple.stopped, "stopped");
    check(fast.utf8 == simple.utf8, "utf8");
    check(fast.stored_rows == simple.stored_rows, "stored_rows");
    check(fast.lines_read == simple.lines_read, "lines_read");
    check(fast.cols == simple.cols, "ColCount");
    check(fast.rows == simple.rows, "RowCount");
    check(fast.cells == simple.cells, "cells");
    check(fast.progress == simple.progress, "progress");
    check(fast.escape_polls == simple.escape_polls, "escape polls");
    check(fast.confirm_asked == simple.confirm_asked, "confirm questions");
    return same;
  }
};

std::string RandomBytes(std::mt19937& rng, size_t size, const std::vector<int>& weights) {
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  std::string s(size, 'a');
  for (char& c : s) c = kAlphabet[pick(rng)];
  return s;
}

std::vector<int> RandomWeights(std::mt19937& rng) {
  std::vector<int> w(kAlphabetSize);
  for (int& x : w) x = static_cast<int>(rng() % 10);
  w[0] += 1;  // never all zero
  return w;
}

// Weights without Ctrl-Z, so that long files are read to their end.
std::vector<int> LineWeights() { return {20, 10, 6, 4, 3, 1, 8, 0, 2, 3}; }

Options RandomOptions(std::mt19937& rng, int64_t max_poll) {
  Options o;
  o.auto_detect = rng() % 2 == 0;
  o.separator = kAlphabet[rng() % 5 == 0 ? 9 : rng() % 5];  // ' ' now and then, else a..'\t'
  if (rng() % 4 == 0) o.escape_at_poll = 1 + static_cast<int64_t>(rng() % max_poll);
  return o;
}

TEST_F(LoaderEquivalenceTest, SmallRandomFiles) {
  int differences = 0;
  for (uint32_t seed = 1; seed <= 400 && differences < 5; ++seed) {
    std::mt19937 rng(seed);
    const size_t size = rng() % 200;
    const std::string bytes = RandomBytes(rng, size, RandomWeights(rng));
    if (!Compare(bytes, RandomOptions(rng, 20))) ++differences;
  }
}

TEST_F(LoaderEquivalenceTest, SizesAroundTheScanBlock) {
  int differences = 0;
  for (size_t size : {62, 63, 64, 65, 66, 127, 128, 129, 191, 192, 193}) {
    for (uint32_t seed = 1; seed <= 12 && differences < 5; ++seed) {
      std::mt19937 rng(seed * 1000 + static_cast<uint32_t>(size));
      const std::string bytes = RandomBytes(rng, size, RandomWeights(rng));
      if (!Compare(bytes, RandomOptions(rng, 10))) ++differences;
    }
  }
  // A special character at each position around the first block's end.
  for (char special : {'\r', '\n', '\x1a', ';', '\xE4'}) {
    for (size_t pos = 58; pos < 70; ++pos) {
      std::string bytes(80, 'a');
      bytes[20] = ';';
      bytes[40] = '\n';
      bytes[pos] = special;
      if (pos + 1 < bytes.size() && special == '\r') bytes[pos + 1] = 'b';
      Compare(bytes, Options{});
      Compare(bytes + "\n", Options{false, ';', 0});
    }
  }
}

TEST_F(LoaderEquivalenceTest, ManyLinesWithProgress) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    const std::string bytes = RandomBytes(rng, 4000 + rng() % 4000, LineWeights());
    Options o = RandomOptions(rng, 900);
    Compare(bytes, o);
  }
}

// Files around the reader's 1 MiB chunk, with the interesting bytes placed at
// the chunk's end.
TEST_F(LoaderEquivalenceTest, SizesAroundTheReadChunk) {
  constexpr size_t kChunk = size_t{1} << 20;
  std::mt19937 rng(77);
  // Lines of some 60 bytes keep the row count, and so the run time, modest.
  std::vector<int> weights = LineWeights();
  weights[6] = 1;
  const std::string body = RandomBytes(rng, kChunk + 16, weights);
  struct Tail {
    const char* name;
    std::string bytes;  // placed so that it straddles the chunk's end
  };
  const Tail tails[] = {{"crlf", "\r\n"},
                        {"lone cr", "a\rb"},
                        {"ctrl-z mid-line", "a\x1a\xE4;"},
                        {"ctrl-z line start", "\n\x1a"},
                        {"separator", ";;"},
                        {"utf8", "\xC3\xA4"},
                        {"lf", "\n\n"}};
  for (const auto& tail : tails) {
    for (int shift = -2; shift <= 1; ++shift) {
      for (int extra : {-1, 0, 2}) {
        SCOPED_TRACE(std::string(tail.name) + " shift " + std::to_string(shift) + " extra " +
                     std::to_string(extra));
        std::string bytes = body.substr(0, static_cast<size_t>(static_cast<long>(kChunk) + extra));
        const size_t at = static_cast<size_t>(static_cast<long>(kChunk) - 1 + shift);
        bytes.replace(std::min(at, bytes.size()), tail.bytes.size(), tail.bytes);
        Options o;
        o.auto_detect = (shift + extra) % 2 == 0;
        if (!Compare(bytes, o)) return;
      }
    }
  }
}

TEST_F(LoaderEquivalenceTest, LinesLongerThanTheReadChunk) {
  constexpr size_t kChunk = size_t{1} << 20;
  std::mt19937 rng(5);
  std::vector<int> no_lf = LineWeights();
  no_lf[6] = 0;
  no_lf[5] = 0;
  const std::string line = RandomBytes(rng, 2 * kChunk + 100, no_lf);
  Compare(line, Options{});
  Compare("x;y;z\n" + line + "\nlast\n", Options{});
  Compare(line.substr(0, kChunk - 1) + "\r\n" + line.substr(0, kChunk + 3), Options{false, ',', 0});
  Compare(line.substr(0, kChunk + 5) + "\r" + line.substr(0, 10), Options{false, ';', 0});
}

}  // namespace
}  // namespace core
