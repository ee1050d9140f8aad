// The test build of the DLL, TessarynLanes.dll: the shipped DLL's objects and these two
// exports more, so that a Windows host runs every width the build has on one processor. The
// shipped Tessaryn.dll exports neither: nothing a host calls there changes its width.
#include <cstdint>

#include "exports/tessaryn.h"
#include "filters/dispatch.h"

extern "C" {

TESSARYN_API void TESSARYN_CALL TessarynLimitLanes(std::int32_t most) {
  tessaryn::LimitLanes(static_cast<tessaryn::Lanes>(most));
}

TESSARYN_API std::int32_t TESSARYN_CALL TessarynWidestLanes() {
  return static_cast<std::int32_t>(tessaryn::WidestLanes());
}

}  // extern "C"
