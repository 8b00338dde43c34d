// A hostile reply in the receive buffer, read by every reader of the link:
// nothing may read past the packet or the 4096-byte buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "commkit/qvx/qvx_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  QvxSession* s = QvxCreate(nullptr);
  if (!s) return 0;
  s->strings8 = data[0] & 1;
  s->chars8 = data[0] & 2;
  s->hostOffset = int16_t(data[0] * 7);
  size_t n = size - 1 > kQvxBufferSize ? kQvxBufferSize : size - 1;
  std::memcpy(s->receive, data + 1, n);
  s->receivedLength = uint16_t(n);
  for (int pass = 0; pass < 5; ++pass) {
    qvx::BeginRead(s->reader, s->receive, s->receivedLength);
    s->error = 0;
    uint8_t dt[6];
    switch (pass) {
      case 0: QvxFreeEntries(QvxReadEntries(s)); break;
      case 1: QvxRunHostMenu(s); break;
      case 2:
        QvxReadFailure(s);
        QvxReadNotice19(s);
        break;
      case 3:
        QvxGetDateTime(s, dt);
        BpSys().memFree(QvxGetText6(s));
        BpSys().memFree(QvxGetRest(s));
        break;
      case 4:
        QvxAnswerListQuery(s);
        QvxAnswer8(s);
        QvxAnswerQuery(s);
        break;
    }
  }
  QvxDestroy(s);
  return 0;
}
