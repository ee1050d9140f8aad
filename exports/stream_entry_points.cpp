// The stream's C API (tessaryn_stream.h) over the stream engine. Nothing here throws; a
// stream lives in memory from malloc, so the library needs no C++ runtime (and
// TessarynStream.dll no C runtime either: windows_memory.cpp).
#include <cstdlib>
#include <new>

#define TESSARYN_STREAM_C_API_ONLY
#include "exports/tessaryn_stream.h"
#include "filters/saved_stream.h"
#include "filters/stream.h"

using Engine = tessaryn::StreamEngine<tessaryn::StreamStep>;

struct TessarynStream {
  Engine engine;
};

static_assert(Engine::outputs == 3, "a stream's bar has a trend, a cycle and a model");
// The least any allocator here aligns to: Windows' process heap gives 8 bytes on 32-bit.
static_assert(alignof(TessarynStream) <= 2 * sizeof(void*), "malloc's memory holds a stream");

namespace {

std::int32_t Code(tessaryn::StreamStatus status) {
  return static_cast<std::int32_t>(status);
}

// Push or Revise: the bar's values into out on success, out untouched on failure.
template <tessaryn::StreamStatus (Engine::*Call)(float, float, float*)>
std::int32_t OneBar(TessarynStream* stream, float price, float period, float out[3]) {
  if (stream == nullptr || out == nullptr) {
    return Code(tessaryn::StreamStatus::NullArgument);
  }
  return Code((stream->engine.*Call)(price, period, out));
}

}  // namespace

extern "C" {

TESSARYN_API TessarynStream* TESSARYN_CALL TessarynStreamCreate(int32_t longest_period) {
  if (longest_period < 0) {
    return nullptr;
  }
  void* memory = std::malloc(sizeof(TessarynStream));
  return memory == nullptr ? nullptr : new (memory) TessarynStream{Engine(longest_period)};
}

TESSARYN_API void TESSARYN_CALL TessarynStreamDestroy(TessarynStream* stream) {
  if (stream != nullptr) {
    stream->~TessarynStream();
    std::free(stream);
  }
}

TESSARYN_API int32_t TESSARYN_CALL TessarynStreamPush(TessarynStream* stream, float price,
                                                      float period, float out[3]) {
  return OneBar<&Engine::Push>(stream, price, period, out);
}

TESSARYN_API int32_t TESSARYN_CALL TessarynStreamRevise(TessarynStream* stream, float price,
                                                        float period, float out[3]) {
  return OneBar<&Engine::Revise>(stream, price, period, out);
}

TESSARYN_API int32_t TESSARYN_CALL TessarynStreamPushMany(TessarynStream* stream,
                                                          const float* prices, const float* periods,
                                                          int32_t count, float* trend, float* cycle,
                                                          float* model) {
  if (stream == nullptr) {
    return Code(tessaryn::StreamStatus::NullArgument);
  }
  return Code(stream->engine.PushMany(prices, periods, count, {trend, cycle, model}));
}

TESSARYN_API int64_t TESSARYN_CALL TessarynStreamSize(const TessarynStream* stream) {
  return stream == nullptr ? 0 : stream->engine.Size();
}

TESSARYN_API void TESSARYN_CALL TessarynStreamReset(TessarynStream* stream) {
  if (stream != nullptr) {
    stream->engine.Reset();
  }
}

TESSARYN_API int32_t TESSARYN_CALL TessarynStreamSave(const TessarynStream* stream, void* bytes,
                                                      int64_t capacity, int64_t* size) {
  if (stream == nullptr || size == nullptr) {
    return Code(tessaryn::StreamStatus::NullArgument);
  }
  const std::int64_t needed = tessaryn::SavedStream::Size(stream->engine);
  *size = needed;
  if (bytes == nullptr) {
    return Code(tessaryn::StreamStatus::Ok);
  }
  if (capacity < needed) {
    return Code(tessaryn::StreamStatus::CapacityTooSmall);
  }
  tessaryn::SavedStream::Write(stream->engine, static_cast<unsigned char*>(bytes));
  return Code(tessaryn::StreamStatus::Ok);
}

TESSARYN_API TessarynStream* TESSARYN_CALL TessarynStreamRestore(const void* bytes, int64_t size,
                                                                 int32_t* error) {
  tessaryn::SavedStream::Image image;
  tessaryn::StreamStatus status = tessaryn::StreamStatus::Ok;
  TessarynStream* stream = nullptr;
  if (size < tessaryn::saved::kHeaderBytes) {  // too short for a header, NULL or not
    status = tessaryn::StreamStatus::NotSavedStream;
  } else if (bytes == nullptr) {
    status = tessaryn::StreamStatus::NullArgument;
  } else {
    status = tessaryn::SavedStream::Read(static_cast<const unsigned char*>(bytes), size, image);
  }
  if (status == tessaryn::StreamStatus::Ok) {
    stream = TessarynStreamCreate(image.bound);
    status = stream == nullptr ? tessaryn::StreamStatus::OutOfMemory
                               : tessaryn::SavedStream::Load(image, stream->engine);
    if (status != tessaryn::StreamStatus::Ok) {
      TessarynStreamDestroy(stream);
      stream = nullptr;
    }
  }
  if (error != nullptr) {
    *error = Code(status);
  }
  return stream;
}

TESSARYN_API const char* TESSARYN_CALL TessarynStreamMessage(int32_t code) {
  switch (code) {
    case TESSARYN_STREAM_OK:
      return "no error";
    case TESSARYN_STREAM_NULL_ARGUMENT:
      return "an argument that must point somewhere is NULL: the stream, the output array, or "
             "PushMany's prices or periods";
    case TESSARYN_STREAM_EMPTY:
      return "the stream has no bar to revise";
    case TESSARYN_STREAM_PERIOD_ABOVE_BOUND:
      return "the bar's period is above the stream's longest_period, which keeps too few prices "
             "for it";
    case TESSARYN_STREAM_OUT_OF_MEMORY:
      return "out of memory";
    case TESSARYN_STREAM_NEGATIVE_COUNT:
      return "the count of bars is negative";
    case TESSARYN_STREAM_TOO_MANY_BARS:
      return "an unbounded stream holds at most 2^31 - 1 bars";
    case TESSARYN_STREAM_NEGATIVE_BOUND:
      return "longest_period is negative (TessarynStreamCreate then gives NULL)";
    case TESSARYN_STREAM_CAPACITY_TOO_SMALL:
      return "the capacity given to TessarynStreamSave is below the size the state needs";
    case TESSARYN_STREAM_NOT_SAVED_STREAM:
      return "the bytes are not a saved stream (too short, a negative size, or another kind of "
             "data)";
    case TESSARYN_STREAM_OTHER_MAJOR_VERSION:
      return "the stream was saved by a library of another major version";
    case TESSARYN_STREAM_DAMAGED_STATE:
      return "the saved stream is truncated or altered: its length or checksum does not match";
    case TESSARYN_STREAM_INCONSISTENT_STATE:
      return "the saved stream's fields describe no state a stream can have";
    default:
      return "unknown error code";
  }
}

}  // extern "C"
