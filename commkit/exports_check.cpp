// Holds every row of the export table against the function's declaration, so
// the argument bytes written into commkit.def can never drift from the code.
#include "commkit.h"
#include "commkit/bp/bp_exports.h"
#include "commkit/qvx/qvx_link.h"
#include "commkit/session/conn_session.h"
#include "commkit/session/encodings.h"
#include "port/driver_winsock.h"
#include "exports.h"

namespace {
template <class R, class... A>
constexpr int ArgumentBytes(R(ZRTAPI*)(A...)) {
  return (0 + ... + int((sizeof(A) + 3) / 4 * 4));
}
}  // namespace

#define COMMKIT_CHECK_ROW(ordinal, name, bytes) static_assert(ArgumentBytes(&name) == bytes, #name " argument bytes");
// stdcall argument bytes exist only in the i686 build.
#if !defined(_WIN64)
COMMKIT_EXPORTS(COMMKIT_CHECK_ROW)
#endif
