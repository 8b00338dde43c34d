#include "online/review_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compose/message_view.h"
#include "compose/outgoing.h"
#include "core/folder_names.h"
#include "core/text1252.h"
#include "wrx/wrx.h"

namespace {
void Put(HWND control, const char* line) { g_messageViewHooks.markupMessageText(control, line, false); }
}  // namespace

int BuildReviewText(EditorState* state, HWND control) {
  int length = state->bodyEdit ? GetWindowTextLengthA(state->bodyEdit) : 0;
  char* body = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  if (!body) return 1;
  body[0] = 0;
  if (state->bodyEdit) GetWindowTextA(state->bodyEdit, body, length + 1);
  SoftBreaksToHard(body);
  SetMessageFonts(control, true);
  WrxSetCharStyle(control, 2, 1, 0);
  char folder[sizeof state->szFolders];
  StrCopyN(folder, state->szFolders, sizeof folder - 1);
  FixNameCase(folder);
  char line[sizeof folder + 64];
  if (state->nComment)
    snprintf(line, sizeof line, "Message:\t%s (reply to %ld)\r\n", folder, static_cast<long>(state->nComment));
  else
    snprintf(line, sizeof line, "Message:\t%s\r\n", folder);
  Put(control, line);
  if (state->szRealname[0] && state->szEmail[0])
    snprintf(line, sizeof line, "From:   \t%s (%s)\r\n", state->szRealname, state->szEmail);
  else if (state->szRealname[0])
    snprintf(line, sizeof line, "From:   \t%s\r\n", state->szRealname);
  else
    snprintf(line, sizeof line, "From:   \tYou\r\n");
  Put(control, line);
  char subject[4097] = "";
  if (state->subjectEdit)
    GetWindowTextA(state->subjectEdit, subject, sizeof subject);
  else
    StrCopyN(subject, state->szSubject, sizeof subject - 1);
  snprintf(line, sizeof line, "Subject: \t%.4000s\r\n", subject);
  Put(control, line);
  WrxSetCharStyle(control, 2, 0, 0);
  Put(control, "\r\n");
  Put(control, body);
  free(body);
  return 1;
}
