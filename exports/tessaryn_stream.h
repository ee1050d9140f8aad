/* Tessaryn streams: the three indicators of one live series, bar by bar.
 *
 * A stream takes bars as they come, oldest first: Push appends a closed or a new bar,
 * Revise replaces the newest bar while it is still forming (its price and its period may
 * both change, any number of times), PushMany appends a whole history at the speed of the
 * routines of tessaryn.h. Every value is, bit for bit, what ITrend, CyclicalComponent and
 * Tessaryn give on the series so far, with the newest bar as last revised: 3.4E+38f on bars
 * that are not computed, exactly as there. Each Push or Revise costs the same at any period
 * (but where the prices defeat the library's exactness check, see the README).
 *
 * Memory: a stream created with longest_period B > 0 keeps only the prices that periods up to
 * B need, and its size stays flat however many bars it sees. A bar whose period rounds above
 * B while the routines would compute it (it is not above the bar's index) is refused with
 * TESSARYN_STREAM_PERIOD_ABOVE_BOUND and the stream is left as it was. With B = 0 every price
 * is kept (up to 2^31 - 1 bars).
 *
 * On Windows these functions are TessarynStream.dll's (the routines stay in Tessaryn.dll), with
 * the routines' calling convention: stdcall on 32-bit x86.
 *
 * Every function that can fail returns 0 on success or one of the codes below, and on
 * failure changes nothing. Threads: distinct streams may be used from distinct threads at
 * once; one stream must not be used by two threads at the same time.
 */
#ifndef TESSARYN_STREAM_H
#define TESSARYN_STREAM_H

#include <stdint.h>

#include "tessaryn.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TessarynStream TessarynStream;

enum {
  TESSARYN_STREAM_OK = 0,
  TESSARYN_STREAM_NULL_ARGUMENT = 1,      /* the stream, out, or PushMany's prices or periods */
  TESSARYN_STREAM_EMPTY = 2,              /* Revise on a stream without bars */
  TESSARYN_STREAM_PERIOD_ABOVE_BOUND = 3, /* a period above longest_period that would count */
  TESSARYN_STREAM_OUT_OF_MEMORY = 4,
  TESSARYN_STREAM_NEGATIVE_COUNT = 5,
  TESSARYN_STREAM_TOO_MANY_BARS = 6, /* an unbounded stream holds at most 2^31 - 1 bars */
  /* Returned by no call: TessarynStreamCreate gives NULL for a negative longest_period, and
   * TessarynStreamMessage of this code says why (the C++ Stream throws with it). */
  TESSARYN_STREAM_NEGATIVE_BOUND = 7,
  TESSARYN_STREAM_CAPACITY_TOO_SMALL = 8,   /* Save's capacity is below the size it needs */
  TESSARYN_STREAM_NOT_SAVED_STREAM = 9,     /* Restore's bytes are not a saved stream at all */
  TESSARYN_STREAM_OTHER_MAJOR_VERSION = 10, /* saved by a library of another major version */
  TESSARYN_STREAM_DAMAGED_STATE = 11,       /* truncated or altered: length or checksum wrong */
  TESSARYN_STREAM_INCONSISTENT_STATE = 12   /* checksum right, but no stream has that state */
};

/* A new, empty stream; NULL when out of memory or longest_period < 0. */
TESSARYN_API TessarynStream* TESSARYN_CALL TessarynStreamCreate(int32_t longest_period);
/* Frees the stream; NULL is fine. */
TESSARYN_API void TESSARYN_CALL TessarynStreamDestroy(TessarynStream* stream);
/* Appends a bar; out receives its trend, cycle and model (trend plus cycle), in that order. */
TESSARYN_API int32_t TESSARYN_CALL TessarynStreamPush(TessarynStream* stream, float price,
                                                      float period, float out[3]);
/* Replaces the newest bar and gives its new values, as Push would have. */
TESSARYN_API int32_t TESSARYN_CALL TessarynStreamRevise(TessarynStream* stream, float price,
                                                        float period, float out[3]);
/* Appends count bars (prices[0] the oldest); trend, cycle and model, each NULL or count
 * floats, receive their values. Afterwards the stream is as if the bars were pushed one by
 * one, and Revise replaces the last of them. */
TESSARYN_API int32_t TESSARYN_CALL TessarynStreamPushMany(TessarynStream* stream,
                                                          const float* prices, const float* periods,
                                                          int32_t count, float* trend, float* cycle,
                                                          float* model);
/* Bars seen since the stream was created or reset; 0 for NULL. */
TESSARYN_API int64_t TESSARYN_CALL TessarynStreamSize(const TessarynStream* stream);
/* Forgets every bar; the bound stays. NULL is fine. */
TESSARYN_API void TESSARYN_CALL TessarynStreamReset(TessarynStream* stream);
/* The stream's state as bytes, the same on every platform (little endian, fixed widths, a
 * magic, a version and a CRC-32 of the payload). *size receives the bytes the state needs
 * (a bounded stream's stays under 4 * longest_period + 256); with bytes NULL that is all it
 * does. With capacity below *size it returns TESSARYN_STREAM_CAPACITY_TOO_SMALL and writes
 * nothing. */
TESSARYN_API int32_t TESSARYN_CALL TessarynStreamSave(const TessarynStream* stream, void* bytes,
                                                      int64_t capacity, int64_t* size);
/* A stream from Save's bytes, whose every later Push, Revise and PushMany gives the bits the
 * saved one would have given; NULL when the bytes are refused (truncated, altered, foreign or
 * of another major version) or memory runs out, with *error (when error is not NULL) set to
 * the code, else to 0. Fewer than 16 bytes (bytes NULL or not) are not a saved stream. Bytes saved
 * by an older library of the same major version restore. */
TESSARYN_API TessarynStream* TESSARYN_CALL TessarynStreamRestore(const void* bytes, int64_t size,
                                                                 int32_t* error);
/* What a code means, in a sentence (never NULL). */
TESSARYN_API const char* TESSARYN_CALL TessarynStreamMessage(int32_t code);

#ifdef __cplusplus
}
#endif

/* The C++ interface; the library itself, built without exceptions, sees the C API alone. */
#if defined(__cplusplus) && !defined(TESSARYN_STREAM_C_API_ONLY)

#include <cstdint>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tessaryn {

// A stream's failure, with its code (TESSARYN_STREAM_...).
class StreamError : public std::runtime_error {
 public:
  explicit StreamError(std::int32_t code)
      : std::runtime_error(TessarynStreamMessage(code)), code_(code) {}
  std::int32_t code() const noexcept { return code_; }

 private:
  std::int32_t code_;
};

// One bar's values: trend (ITrend), cycle (CyclicalComponent), model (Tessaryn).
struct BarValues {
  float trend;
  float cycle;
  float model;
};

// The C stream as a C++ object: failures throw StreamError, and leave the stream as it was.
class Stream {
 public:
  // longest_period 0: no bound, every price kept. Throws std::invalid_argument when it is
  // negative, std::bad_alloc when out of memory.
  explicit Stream(std::int32_t longest_period = 0) : stream_(TessarynStreamCreate(longest_period)) {
    if (stream_ == nullptr) {
      if (longest_period < 0) {
        throw std::invalid_argument(TessarynStreamMessage(TESSARYN_STREAM_NEGATIVE_BOUND));
      }
      throw std::bad_alloc();
    }
  }
  ~Stream() { TessarynStreamDestroy(stream_); }
  Stream(Stream&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}
  Stream& operator=(Stream&& other) noexcept {
    std::swap(stream_, other.stream_);
    return *this;
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  BarValues Push(float price, float period) {
    float out[3];
    Check(TessarynStreamPush(stream_, price, period, out));
    return {out[0], out[1], out[2]};
  }
  BarValues Revise(float price, float period) {
    float out[3];
    Check(TessarynStreamRevise(stream_, price, period, out));
    return {out[0], out[1], out[2]};
  }
  void PushMany(const float* prices, const float* periods, std::int32_t count, float* trend,
                float* cycle, float* model) {
    Check(TessarynStreamPushMany(stream_, prices, periods, count, trend, cycle, model));
  }
  void Reset() noexcept { TessarynStreamReset(stream_); }
  std::int64_t Size() const noexcept { return TessarynStreamSize(stream_); }

  // The state as bytes (TessarynStreamSave), and a stream from them: Restore throws
  // StreamError with the code when it refuses them, std::bad_alloc when out of memory.
  std::vector<unsigned char> Save() const {
    std::int64_t size = 0;
    Check(TessarynStreamSave(stream_, nullptr, 0, &size));
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    Check(TessarynStreamSave(stream_, bytes.data(), size, &size));
    return bytes;
  }
  static Stream Restore(const void* bytes, std::int64_t size) {
    std::int32_t error = TESSARYN_STREAM_OK;
    TessarynStream* const stream = TessarynStreamRestore(bytes, size, &error);
    if (stream == nullptr) {
      if (error == TESSARYN_STREAM_OUT_OF_MEMORY) {
        throw std::bad_alloc();
      }
      throw StreamError(error);
    }
    return Stream(stream);
  }
  static Stream Restore(const std::vector<unsigned char>& bytes) {
    return Restore(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }

 private:
  explicit Stream(TessarynStream* stream) noexcept : stream_(stream) {}

  static void Check(std::int32_t code) {
    if (code != TESSARYN_STREAM_OK) {
      throw StreamError(code);
    }
  }
  TessarynStream* stream_;
};

}  // namespace tessaryn

#endif /* C++ */

#endif /* TESSARYN_STREAM_H */
