#include "filters/stream.h"

namespace tessaryn {

// The C API's stream, compiled once here.
template class StreamEngine<StreamStep>;

}  // namespace tessaryn
