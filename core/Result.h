// The outcome of a core operation that can fail: a code and the exact text
// the user is shown for it (UTF-8; file names in it are their bytes as
// given). Operations that cannot fail in a way the user must hear about
// return plain values instead. A result dropped unread is a failure nobody
// hears of, so the compiler insists on a look (or a `(void)` saying why not).
#ifndef MARVESK_CORE_RESULT_H_
#define MARVESK_CORE_RESULT_H_

#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace core {

enum class Code {
  kOk,
  kStopped,       // the user stopped it; what was done so far is kept
  kOpenFailed,    // a file could not be opened (or read before any work began)
  kCreateFailed,  // a file could not be created; nothing changed
  kReadFailed,    // reading failed part way; what was read before is kept
  kWriteFailed,   // writing or putting a file in place failed; nothing changed
  kOutOfMemory,   // the memory headroom ran out; what was done before is kept
  kNotCreated,    // the settings file could not be created; skipped silently
};

class [[nodiscard]] Result {
 public:
  Result() = default;
  static Result Ok() { return Result(); }
  static Result Error(Code code, std::string message, std::string reason = {}) {
    Result r;
    r.code_ = code;
    r.message_ = std::move(message);
    r.reason_ = std::move(reason);
    return r;
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // What the user is told; empty for kOk and for outcomes told nobody.
  const std::string& message() const { return message_; }
  // The system's own words for the failure (strerror), for tests and logs.
  const std::string& reason() const { return reason_; }

 private:
  Code code_ = Code::kOk;
  std::string message_;
  std::string reason_;
};

// The user-facing texts that more than one operation gives.
inline constexpr const char kOutOfMemoryText[] = "Speicherplatz zu klein";

// Runs `f` (returning a Result, or nothing for Ok). Memory running out on
// the way, as std::bad_alloc from an allocation or from the headroom check
// of Memory.h, becomes kOutOfMemory with the text above; whatever `f` had
// done by then is the caller's to take back.
template <typename F>
[[nodiscard]] Result CatchOutOfMemory(F&& f) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
      f();
      return Result::Ok();
    } else {
      return f();
    }
  } catch (const std::bad_alloc&) {
    return Result::Error(Code::kOutOfMemory, kOutOfMemoryText);
  }
}

}  // namespace core

#endif  // MARVESK_CORE_RESULT_H_
