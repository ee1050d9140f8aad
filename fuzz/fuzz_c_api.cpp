// Bad arguments to the C API never crash and change nothing: every call below is made on a
// stream whose state the bytes chose, and the stream must go on as if they had not been made.
#include <tessaryn.h>
#include <tessaryn_stream.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

using tessaryn::fuzz::Finding;
using tessaryn::fuzz::Same;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaryn::fuzz::Bytes in(data, size);
  const std::int32_t bound = in.Byte() % 3 == 0 ? 0 : 1 + in.Byte();
  TessarynStream* stream = TessarynStreamCreate(bound);
  TessarynStream* twin = TessarynStreamCreate(bound);  // gets only the good calls
  float walk = 50.0f, period = 5.0f;
  int exponent = 4;
  float out[3], twinOut[3];
  while (!in.empty()) {
    const std::uint8_t op = in.Byte();
    const float price = tessaryn::fuzz::GeneratedPrice(in, walk, exponent);
    const float p = tessaryn::fuzz::GeneratedPeriod(in, period);
    const std::int32_t count = op & 1 ? -static_cast<std::int32_t>(in.Word()) - 1 : INT_MIN;
    const std::int64_t before = TessarynStreamSize(stream);
    switch (op % 8) {
      case 0:
        if (TessarynStreamPush(stream, price, p, nullptr) != TESSARYN_STREAM_NULL_ARGUMENT)
          Finding("push with NULL out");
        break;
      case 1:
        if (TessarynStreamRevise(stream, price, p, nullptr) != TESSARYN_STREAM_NULL_ARGUMENT)
          Finding("revise with NULL out");
        break;
      case 2:
        if (TessarynStreamPushMany(stream, &price, &p, count, out, out, out) !=
            TESSARYN_STREAM_NEGATIVE_COUNT)
          Finding("push many with a negative count");
        break;
      case 3:
        if (TessarynStreamPushMany(stream, nullptr, &p, 1, nullptr, nullptr, nullptr) !=
                TESSARYN_STREAM_NULL_ARGUMENT ||
            TessarynStreamPushMany(stream, &price, nullptr, 1, nullptr, nullptr, nullptr) !=
                TESSARYN_STREAM_NULL_ARGUMENT)
          Finding("push many with NULL prices or periods");
        break;
      case 4:
        if (TessarynStreamPush(nullptr, price, p, out) != TESSARYN_STREAM_NULL_ARGUMENT ||
            TessarynStreamPushMany(nullptr, &price, &p, 1, out, out, out) !=
                TESSARYN_STREAM_NULL_ARGUMENT ||
            TessarynStreamSize(nullptr) != 0)
          Finding("calls on a NULL stream");
        TessarynStreamReset(nullptr);
        TessarynStreamDestroy(nullptr);
        break;
      case 5: {  // the batch routines with counts of 0 or less touch nothing
        float untouched = 1.5f;
        ITrend(nullptr, nullptr, count, &untouched);
        CyclicalComponent(nullptr, nullptr, 0, &untouched);
        Tessaryn(&price, &p, count, &untouched);
        if (untouched != 1.5f)
          Finding("a routine wrote with a count of 0 or less");
        if (TessarynStreamCreate(count) != nullptr)
          Finding("a stream with a negative bound");
        break;
      }
      default: {  // a good push, on both; the same values
        const std::int32_t code = TessarynStreamPush(stream, price, p, out);
        const std::int32_t twinCode = TessarynStreamPush(twin, price, p, twinOut);
        if (code != twinCode)
          Finding("a stream answers otherwise after refused calls");
        if (code == TESSARYN_STREAM_OK)
          for (int k = 0; k < 3; ++k)
            if (!Same(out[k], twinOut[k]))
              Finding("a stream's values changed by refused calls", k, out[k], twinOut[k]);
        continue;
      }
    }
    if (TessarynStreamSize(stream) != before)
      Finding("a refused call changed the stream's size");
  }
  TessarynStreamDestroy(stream);
  TessarynStreamDestroy(twin);
  return 0;
}
