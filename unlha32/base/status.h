// Status: the one way every layer of the library reports an outcome.
//
// Archives come from strangers, so almost every failure is a property of the
// input, not a bug. Errors travel as values (no exceptions) so that they can
// cross the C interface unchanged, and the one idiom for checking untrusted
// input is LZH_REQUIRE: a condition and the static text that names what is
// wrong. Messages are static strings; layers above add the member name.
#pragma once

#include <cstdint>

namespace lzh {

enum class Fault : uint8_t {
  kNone = 0,
  kTruncated,    // the input ended before the structure it announced
  kCorrupt,      // the input contradicts itself (bad table, bad CRC, ...)
  kUnsupported,  // a well-formed input we do not decode (rare methods)
  kTooLarge,     // a value we refuse to write (size beyond a header level)
  kIo,           // the operating system refused a read or a write
  kNoMemory,
};

class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  constexpr Status(Fault fault, const char* message) : fault_(fault), message_(message) {}

  static constexpr Status Ok() { return Status(); }
  static constexpr Status Truncated(const char* m) { return {Fault::kTruncated, m}; }
  static constexpr Status Corrupt(const char* m) { return {Fault::kCorrupt, m}; }
  static constexpr Status Unsupported(const char* m) { return {Fault::kUnsupported, m}; }
  static constexpr Status TooLarge(const char* m) { return {Fault::kTooLarge, m}; }
  static constexpr Status Io(const char* m) { return {Fault::kIo, m}; }
  static constexpr Status NoMemory() { return {Fault::kNoMemory, "out of memory"}; }

  constexpr bool ok() const { return fault_ == Fault::kNone; }
  constexpr Fault fault() const { return fault_; }
  constexpr const char* message() const { return message_; }

 private:
  Fault fault_ = Fault::kNone;
  const char* message_ = "";
};

}  // namespace lzh

// Checks a property of untrusted input; on failure the enclosing function
// returns a Status of the given kind with the given message.
#define LZH_REQUIRE(condition, kind, message)            \
  do {                                                   \
    if (!(condition)) [[unlikely]]                       \
      return ::lzh::Status(::lzh::Fault::kind, message); \
  } while (0)

// Propagates a failed Status from a callee.
#define LZH_TRY(expression)                      \
  do {                                           \
    ::lzh::Status lzh_try_status = (expression); \
    if (!lzh_try_status.ok()) [[unlikely]]       \
      return lzh_try_status;                     \
  } while (0)
