// Any bytes given to TessarynStreamRestore are refused with a code of their own, or make a
// stream of a state some stream can have: it saves the same bytes again, and goes on.
// A first byte that is odd has the payload's checksum made right first, so that the fields
// themselves are what the fuzzer tries.
#include <tessaryn_stream.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/crc32.h"
#include "fuzz/fuzz_check.h"

using tessaryn::fuzz::Finding;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  std::vector<unsigned char> bytes(data + 1, data + size);
  if ((data[0] & 1) != 0 && bytes.size() >= 16) {
    const std::uint32_t crc = tessaryn::Crc32(bytes.data() + 16, bytes.size() - 16);
    for (int b = 0; b < 4; ++b) {
      bytes[12 + static_cast<std::size_t>(b)] = static_cast<unsigned char>(crc >> (8 * b));
    }
  }
  std::int32_t error = -1;
  TessarynStream* const stream =
      TessarynStreamRestore(bytes.data(), static_cast<std::int64_t>(bytes.size()), &error);
  if (stream == nullptr) {
    if (error != TESSARYN_STREAM_NOT_SAVED_STREAM && error != TESSARYN_STREAM_OTHER_MAJOR_VERSION &&
        error != TESSARYN_STREAM_DAMAGED_STATE && error != TESSARYN_STREAM_INCONSISTENT_STATE &&
        error != TESSARYN_STREAM_OUT_OF_MEMORY) {
      Finding("refused without a refusal's code");
    }
    return 0;
  }
  if (error != TESSARYN_STREAM_OK) {
    Finding("restored with an error code");
  }
  // Saved again: the same bytes, but for what a later minor version appended.
  std::int64_t saved = 0;
  TessarynStreamSave(stream, nullptr, 0, &saved);
  std::vector<unsigned char> again(static_cast<std::size_t>(saved));
  TessarynStreamSave(stream, again.data(), saved, &saved);
  const bool sameMinor = bytes[6] == 0 && bytes[7] == 0;
  if (sameMinor && again != bytes) {
    Finding("restored state saves other bytes");
  }
  // It goes on: a revision and pushes at the periods it already has and others. Not for a
  // bound past 2^16: its next push takes a buffer of that many prices, as a stream created
  // with it would, more than a fuzzer's memory limit allows.
  std::uint32_t bound = 0;
  for (int b = 0; b < 4; ++b) {
    bound |= std::uint32_t{bytes[16 + static_cast<std::size_t>(b)]} << (8 * b);
  }
  if (bound > (1u << 16)) {
    TessarynStreamDestroy(stream);
    return 0;
  }
  float out[3];
  const float periods[] = {1.0f, 2.0f, 5.0f, 20.0f, 300.0f};
  TessarynStreamRevise(stream, 10.0f, 3.0f, out);
  for (const float p : periods) {
    TessarynStreamPush(stream, 10.5f, p, out);
    TessarynStreamRevise(stream, 11.0f, p, out);
  }
  TessarynStreamDestroy(stream);
  return 0;
}
