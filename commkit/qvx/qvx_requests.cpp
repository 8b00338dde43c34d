// Building requests and reading replies, and the generic requests several
// service classes share: attributes, options, the query and data requests,
// entry lists and pairs, and the host's menu and list query.
#include <cstddef>
#include <cstring>

#include "commkit/qvx/qvx_internal.h"
#include "commkit/qvx/qvx_link.h"

namespace {

const BpSystem& S() { return BpSys(); }

void NoteWriteError(QvxSession* s) {
  if (s->writer.error && !s->error) s->error = s->writer.error;
}

template <class T>
T* AllocRecord(QvxSession* s, size_t size = sizeof(T)) {
  auto* record = static_cast<T*>(S().memAlloc(size));
  if (!record) s->error = kQvxErrMemory;
  return record;
}

// Reads one string per set bit of `bits` (lowest first) into the slot
// array at `slots`; the records are packed, so the slots are copied whole.
bool ReadSlots(QvxSession* s, uint32_t bits, int count, void* slots) {
  char* local[10] = {};
  for (int i = 0; i < count; ++i)
    if (bits & (1u << i)) local[i] = QvxGetString(s);
  std::memcpy(slots, local, sizeof(char*) * size_t(count));
  return s->error == 0;
}

void FreeSlots(const void* slots, int count) {
  char* local[10];
  std::memcpy(local, slots, sizeof(char*) * size_t(count));
  for (int i = 0; i < count; ++i) S().memFree(local[i]);
}

template <class T>
void* SlotsOf(T* record) {
  return reinterpret_cast<uint8_t*>(record) + offsetof(T, strings);
}

bool SendAndAwait(QvxSession* s, uint8_t cls, uint8_t request, uint8_t reply) {
  return QvxSendRequest(s) && QvxAwaitReply(s, cls, request, reply);
}

// One attempt of the data request with function 14 or 20.
uint8_t* DataAttempt(QvxSession* s, uint8_t function, int mode, uint8_t a, uint16_t w, uint8_t count,
                     const QvxDataPair* pairs, uint16_t* length) {
  uint8_t cls = s->packetClass;
  if (mode == 2) {
    QvxSendControl(s, cls, 5, &function, 1);
    return nullptr;
  }
  if (mode == 0) {
    QvxBeginRequest(s, cls, function);
    QvxPutByte(s, a & 7);
    QvxPutWord(s, w);
    QvxPutByte(s, count);
    for (unsigned i = 0; i < count; ++i) {
      uint32_t value = pairs && pairs[i].kind == 0 ? pairs[i].value << 1 : (pairs ? pairs[i].value << 5 | 1 : 0);
      QvxPutLong(s, value);
    }
    if (!QvxSendRequest(s)) return nullptr;
  }
  if (!QvxAwaitReply(s, cls, function, 4)) return nullptr;
  uint16_t left = s->reader.Left();
  if (!left) return nullptr;
  auto* block = AllocRecord<uint8_t>(s, left);
  if (!block) return nullptr;
  std::memcpy(block, s->reader.data + s->reader.position, left);
  s->reader.position = s->reader.length;
  *length = left;
  if (QvxPollClient(s)) {
    S().memFree(block);
    *length = 0;
    QvxSendControl(s, cls, 5, &function, 1);
    return nullptr;
  }
  return block;
}

}  // namespace

extern "C" {

void BP_CALL QvxBeginRequest(QvxSession* s, uint8_t cls, uint8_t function) {
  if (!s) return;
  qvx::Begin(s->writer, s->request, kQvxBufferSize);
  qvx::WriteByte(s->writer, cls);
  qvx::WriteByte(s->writer, function);
  s->error = 0;
}

void BP_CALL QvxPutByte(QvxSession* s, uint8_t value) {
  if (!s) return;
  qvx::WriteByte(s->writer, value);
  NoteWriteError(s);
}
void BP_CALL QvxPutWord(QvxSession* s, uint16_t value) {
  if (!s) return;
  qvx::WriteWord(s->writer, value);
  NoteWriteError(s);
}
void BP_CALL QvxPutLong(QvxSession* s, uint32_t value) {
  if (!s) return;
  qvx::WriteLong(s->writer, value);
  NoteWriteError(s);
}
void BP_CALL QvxPutShortNumber(QvxSession* s, uint16_t value) {
  if (!s) return;
  qvx::WriteShortNumber(s->writer, value);
  NoteWriteError(s);
}
void BP_CALL QvxPutLong24(QvxSession* s, uint32_t value) {
  if (!s) return;
  qvx::WriteLong24(s->writer, value);
  NoteWriteError(s);
}
void BP_CALL QvxPutString(QvxSession* s, const char* text) {
  if (!s) return;
  if (s->strings8)
    qvx::WriteString8(s->writer, text);
  else
    qvx::WriteText6(s->writer, text, s->chars8 != 0);
  NoteWriteError(s);
}
void BP_CALL QvxPutStringPart(QvxSession* s, const char* text) {
  if (!s) return;
  if (s->strings8) {
    if (text) {
      for (const char* p = text; *p; ++p) qvx::WriteByte(s->writer, uint8_t(*p));
    } else {
      qvx::WriteByte(s->writer, 0);
    }
  } else {
    qvx::WriteText6Piece(s->writer, text, s->chars8 != 0);
  }
  NoteWriteError(s);
}
void BP_CALL QvxPutText6(QvxSession* s, const char* text) {
  if (!s) return;
  qvx::WriteText6(s->writer, text, s->chars8 != 0);
  NoteWriteError(s);
}
void BP_CALL QvxPutDateTime(QvxSession* s, uint32_t low, uint16_t high) {
  if (!s) return;
  qvx::WriteDateTime(s->writer, low, high);
  NoteWriteError(s);
}
void BP_CALL QvxPutDate(QvxSession* s, uint32_t date) {
  if (!s) return;
  qvx::WriteDate(s->writer, uint8_t(date), uint8_t(date >> 8), uint8_t(date >> 16));
  NoteWriteError(s);
}

int BP_CALL QvxSendRequest(QvxSession* s) {
  if (!s || s->error) return 0;
  if (!s->active || !s->link.queue) {
    s->error = kQvxErrTransport;
    return 0;
  }
  s->sending = 1;
  int failed = QvxBpSend(&s->link, s->request, s->writer.length);
  s->sending = 0;
  if (failed) {
    s->error = kQvxErrTimeout;
    return 0;
  }
  return 1;
}

uint8_t BP_CALL QvxGetByte(QvxSession* s) {
  if (!s) return 0;
  uint8_t value = qvx::ReadByte(s->reader);
  QvxNoteReadError(s);
  return value;
}
uint16_t BP_CALL QvxGetWord(QvxSession* s) {
  if (!s) return 0;
  uint16_t value = qvx::ReadWord(s->reader);
  QvxNoteReadError(s);
  return value;
}
uint32_t BP_CALL QvxGetLong(QvxSession* s) {
  if (!s) return 0;
  uint32_t value = qvx::ReadLong(s->reader);
  QvxNoteReadError(s);
  return value;
}
uint16_t BP_CALL QvxGetShortNumber(QvxSession* s) {
  if (!s) return 0;
  uint16_t value = qvx::ReadShortNumber(s->reader);
  QvxNoteReadError(s);
  return value;
}
uint32_t BP_CALL QvxGetLong24(QvxSession* s) {
  if (!s) return 0;
  uint32_t value = qvx::ReadLong24(s->reader);
  QvxNoteReadError(s);
  return value;
}
char* BP_CALL QvxGetString(QvxSession* s) {
  if (!s) return nullptr;
  std::string text = s->strings8 ? qvx::ReadString8(s->reader) : qvx::ReadText6(s->reader);
  QvxNoteReadError(s);
  return QvxOwnedCopy(text);
}
char* BP_CALL QvxGetText6(QvxSession* s) {
  if (!s) return nullptr;
  std::string text = qvx::ReadText6(s->reader);
  QvxNoteReadError(s);
  S().memFree(s->decodedText);
  s->decodedText = QvxOwnedCopy(text);
  return s->decodedText ? BpStrDup(s->decodedText) : nullptr;
}
void BP_CALL QvxGetDate(QvxSession* s, uint8_t* date) {
  if (!s) return;
  uint8_t value[3];
  qvx::ReadDate(s->reader, value);
  QvxNoteReadError(s);
  if (date) std::memcpy(date, value, 3);
}
void BP_CALL QvxGetDateTime(QvxSession* s, uint8_t* dateTime) {
  if (!s) return;
  uint8_t value[6];
  qvx::ReadDateTime(s->reader, value);
  QvxNoteReadError(s);
  qvx::ShiftDateTime(value, s->localOffset - s->hostOffset);
  if (dateTime) std::memcpy(dateTime, value, 6);
}

QvxAttributes* BP_CALL QvxGetAttributes(QvxSession* s, uint8_t flags, uint16_t extension, uint8_t count,
                                        const char** names) {
  if (!s) return nullptr;
  uint8_t cls = s->packetClass;
  QvxBeginRequest(s, cls, 13);
  QvxPutByte(s, flags);
  if (flags & 0x80) QvxPutWord(s, extension);
  QvxPutByte(s, count);
  for (unsigned i = 0; i < count; ++i) QvxPutString(s, names ? names[i] : nullptr);
  if (!SendAndAwait(s, cls, 13, 14)) return nullptr;
  QvxAttributes *first = nullptr, **link = &first;
  for (unsigned i = 0; i < count; ++i) {
    auto* record = AllocRecord<QvxAttributes>(s);
    if (!record) break;
    *link = record;
    link = &record->next;
    record->flags = QvxGetByte(s);
    if (record->flags & 0x80) record->extension = QvxGetWord(s);
    uint32_t bits = (record->flags & 0x7F) | uint32_t(record->extension & 7) << 7;
    if (!ReadSlots(s, bits, 10, SlotsOf(record))) break;
  }
  if (s->error) {
    QvxFreeAttributes(first);
    return nullptr;
  }
  return first;
}

void BP_CALL QvxFreeAttributes(QvxAttributes* list) {
  while (list) {
    QvxAttributes* next = list->next;
    FreeSlots(SlotsOf(list), 10);
    S().memFree(list);
    list = next;
  }
}

QvxOptions* BP_CALL QvxGetOptions(QvxSession* s, uint8_t selector, int kind, uint8_t a, uint8_t b, uint16_t c,
                                  uint16_t d, uint8_t count, const char** strings, const char* e) {
  if (!s || (kind != 0 && kind != 1)) return nullptr;
  uint8_t cls = s->packetClass;
  QvxBeginRequest(s, cls, 24);
  QvxPutByte(s, kind == 1 ? 0x80 : selector & 0x7F);
  if (kind == 0) {
    QvxPutByte(s, a);
    QvxPutByte(s, b);
    QvxPutWord(s, c);
    QvxPutWord(s, d);
    QvxPutByte(s, count);
    for (unsigned i = 0; i < count; ++i) QvxPutString(s, strings ? strings[i] : nullptr);
    QvxPutString(s, e);
  }
  if (!SendAndAwait(s, cls, 24, 25)) return nullptr;
  if (!s->reader.Left()) return nullptr;
  uint16_t flags = QvxGetWord(s);
  uint8_t n = QvxGetByte(s);
  uint16_t width = QvxGetWord(s);
  QvxOptions *first = nullptr, **link = &first;
  for (unsigned i = 0; i < n && !s->error; ++i) {
    auto* record = AllocRecord<QvxOptions>(s);
    if (!record) break;
    *link = record;
    link = &record->next;
    record->flags = flags;
    record->count = n;
    record->width = width;
    ReadSlots(s, flags & 0x7F, 7, SlotsOf(record));
  }
  if (s->error) {
    QvxFreeOptions(first);
    return nullptr;
  }
  return first;
}

void BP_CALL QvxFreeOptions(QvxOptions* list) {
  while (list) {
    QvxOptions* next = list->next;
    FreeSlots(SlotsOf(list), 7);
    S().memFree(list);
    list = next;
  }
}

char* BP_CALL QvxQuery18(QvxSession* s, uint8_t mode, const char* s1, const char* s2, const char* s3) {
  if (!s) return nullptr;
  uint8_t cls = s->packetClass;
  QvxBeginRequest(s, cls, 18);
  QvxPutByte(s, mode);
  if (mode == 1 || mode == 2) QvxPutString(s, s1);
  if (mode == 1) {
    QvxPutString(s, s2);
    QvxPutString(s, s3);
  }
  if (!SendAndAwait(s, cls, 18, 4)) return nullptr;
  char* result = QvxGetString(s);
  if (s->error) {
    S().memFree(result);
    return nullptr;
  }
  return result;
}

QvxEntries* BP_CALL QvxReadEntries(QvxSession* s) {
  if (!s) return nullptr;
  uint8_t b = QvxGetByte(s);
  if (s->error) return nullptr;
  unsigned n = b & 15;
  auto* block = AllocRecord<QvxEntries>(s, sizeof(QvxEntries) + n * sizeof(QvxEntry));
  if (!block) return nullptr;
  block->count = uint8_t(n);
  block->flag = b & 16;
  for (unsigned i = 0; i < n && !s->error; ++i) {
    QvxEntry& entry = block->entries[i];
    uint8_t e = QvxGetByte(s);
    entry.id = e & 63;
    if (entry.id) {
      entry.a = QvxGetString(s);
      if (e & 64) entry.b = QvxGetString(s);
      entry.kind = uint8_t((e & 64 ? 4 : 0) | (e & 128 ? 8 : 0));
    } else {
      entry.b = QvxGetString(s);
      entry.kind = e & 64 ? 3 : 1;
    }
  }
  if (s->error) {
    QvxFreeEntries(block);
    return nullptr;
  }
  return block;
}

void BP_CALL QvxFreeEntries(QvxEntries* block) {
  if (!block) return;
  for (unsigned i = 0; i < block->count; ++i) {
    S().memFree(block->entries[i].a);
    S().memFree(block->entries[i].b);
  }
  S().memFree(block);
}

int BP_CALL QvxSendPairs(QvxSession* s, const QvxPairs* block) {
  if (!s) return 0;
  QvxBeginRequest(s, s->packetClass, 30);
  unsigned n = block ? block->count : 0;
  QvxPutByte(s, uint8_t(n));
  for (unsigned i = 0; i < n; ++i) {
    QvxPutByte(s, block->pairs[i].byte);
    QvxPutString(s, block->pairs[i].text);
  }
  return QvxSendRequest(s);
}

int BP_CALL QvxSend30End(QvxSession* s) {
  if (!s) return 0;
  QvxBeginRequest(s, s->packetClass, 30);
  QvxPutByte(s, 16);
  return QvxSendRequest(s);
}

void BP_CALL QvxFreePairs(QvxPairs* block) {
  if (!block) return;
  for (unsigned i = 0; i < block->count; ++i) S().memFree(block->pairs[i].text);
  S().memFree(block);
}

QvxReply26* BP_CALL QvxRequest26(QvxSession* s, uint8_t a, uint8_t b, int mode, uint32_t x, uint32_t y, uint8_t count,
                                 const QvxRequest26Entry* entries) {
  if (!s || QvxPollClient(s)) return nullptr;
  uint8_t cls = s->packetClass;
  QvxBeginRequest(s, cls, 26);
  QvxPutByte(s, a);
  QvxPutByte(s, 0);
  QvxPutByte(s, b);
  if (mode == 0) {
    unsigned n = count & 63;
    QvxPutByte(s, uint8_t(n));
    QvxPutLong(s, x);
    QvxPutLong(s, y);
    for (unsigned i = 0; i < n; ++i) {
      QvxPutByte(s, entries ? uint8_t((entries[i].e0 & 31) | entries[i].e1 << 5) : 0);
      QvxPutString(s, entries ? entries[i].text : nullptr);
    }
  } else if (mode == 1) {
    QvxPutByte(s, 64);
  }
  if (!SendAndAwait(s, cls, 26, 27)) return nullptr;
  uint8_t byte = QvxGetByte(s);
  uint32_t value = QvxGetLong(s);
  uint16_t word = QvxGetWord(s);
  uint32_t p = QvxGetLong(s), q = QvxGetLong(s);
  uint8_t n = QvxGetByte(s);
  if (s->error) return nullptr;
  auto* block = AllocRecord<QvxReply26>(s, sizeof(QvxReply26) + n * sizeof(QvxRow26));
  if (!block) return nullptr;
  block->byte = byte;
  block->value = value;
  block->word = word;
  block->p = p;
  block->q = q;
  block->count = n;
  uint32_t bits = (p & 63) | (q & 1) << 6;
  for (unsigned i = 0; i < n && !s->error; ++i) ReadSlots(s, bits, 7, SlotsOf(&block->rows[i]));
  if (s->error || QvxPollClient(s)) {
    QvxFreeRequest26(block);
    return nullptr;
  }
  return block;
}

void BP_CALL QvxFreeRequest26(QvxReply26* block) {
  if (!block) return;
  for (unsigned i = 0; i < block->count; ++i) FreeSlots(SlotsOf(&block->rows[i]), 7);
  S().memFree(block);
}

uint8_t* BP_CALL QvxDataRequest(QvxSession* s, int mode, uint8_t a, uint16_t w, uint8_t count, const QvxDataPair* pairs,
                                uint16_t* length) {
  if (!s) return nullptr;
  if (!length) {
    s->error = kQvxErrMemory;
    return nullptr;
  }
  *length = 0;
  if (mode < 0 || mode > 2) return nullptr;
  if (s->preferFunction20) return DataAttempt(s, 20, mode, a, w, count, pairs, length);
  if (mode == 0) {
    s->function14Supported = 1;
    uint8_t* block = DataAttempt(s, 14, mode, a, w, count, pairs, length);
    if (!block && (s->error == kQvxErrFailure || s->error == kQvxErrUnexpected)) s->function14Supported = 0;
    if (s->function14Supported) return block;
    // The host does not know function 14: the same request with 20.
    s->error = 0;
    return DataAttempt(s, 20, mode, a, w, count, pairs, length);
  }
  return DataAttempt(s, s->function14Supported ? 14 : 20, mode, a, w, count, pairs, length);
}

}  // extern "C"

int QvxRunHostMenu(QvxSession* s) {
  uint8_t n = QvxGetByte(s);
  QvxMenu* menu = nullptr;
  if (n) {
    menu = AllocRecord<QvxMenu>(s, sizeof(QvxMenu) + n * sizeof(QvxMenuEntry));
    if (menu) {
      menu->count = n;
      for (unsigned i = 0; i < n; ++i) {
        menu->entries[i].id = QvxGetByte(s);
        menu->entries[i].a = QvxGetString(s);
        menu->entries[i].b = QvxGetString(s);
      }
    }
  }
  QvxMenuNotice notice{menu, 0, 1};
  QvxNotify(s, 1299, reinterpret_cast<intptr_t>(&notice));
  if (menu) {
    for (unsigned i = 0; i < menu->count; ++i) {
      S().memFree(menu->entries[i].a);
      S().memFree(menu->entries[i].b);
    }
    S().memFree(menu);
  }
  uint8_t twenty = 20;
  switch (notice.choice) {
    case 0: QvxSendAck(s, s->packetClass, 20); break;
    case 2: QvxSendControl(s, s->packetClass, 5, &twenty, 1); break;
    case 3:
    case 5: break;
    default: {
      uint8_t bytes[2] = {20, 0};
      QvxSendControl(s, s->packetClass, 2, bytes, 2);
      break;
    }
  }
  return notice.choice;
}

void QvxAnswerListQuery(QvxSession* s) {
  uint32_t value = QvxGetLong(s);
  QvxListNotice notice{nullptr, value, 0, s};
  QvxNotify(s, 1298, reinterpret_cast<intptr_t>(&notice));
  QvxListAnswer* answer = notice.answer;
  if (!answer && s->error) {
    uint8_t bytes[2] = {22, 0};
    QvxSendControl(s, s->packetClass, 2, bytes, 2);
    return;
  }
  uint8_t buffer[kQvxBufferSize];
  qvx::Writer w;
  qvx::Begin(w, buffer, sizeof buffer);
  qvx::WriteLong(w, answer ? answer->value : value);
  qvx::WriteWord(w, answer ? answer->count : 0);
  for (unsigned i = 0; answer && i < answer->count; ++i) {
    if (s->strings8)
      qvx::WriteString8(w, answer->strings[i]);
    else
      qvx::WriteText6(w, answer->strings[i], s->chars8 != 0);
  }
  if (answer) {
    for (unsigned i = 0; i < answer->count; ++i) S().memFree(answer->strings[i]);
    S().memFree(answer);
  }
  if (w.error) {
    s->error = w.error;
    return;
  }
  QvxSendControl(s, s->packetClass, 22, buffer, w.length);
}
