// What the link's files share and no client sees.
#pragma once
#include <string>

#include "commkit/qvx/qvx_link.h"

intptr_t QvxNotify(QvxSession* s, unsigned code, intptr_t lParam);
// Sends a control packet of its own (the request being built is left
// alone): class, function, the bytes, then a string when `withText`.
bool QvxSendControl(QvxSession* s, uint8_t cls, uint8_t function, const uint8_t* bytes, unsigned count,
                    const char* text = nullptr, bool withText = false);
// A heap copy for the client; the empty text is none.
char* QvxOwnedCopy(const std::string& text);
// A read that went past the packet leaves error 1287 unless one is set.
void QvxNoteReadError(QvxSession* s);
