// A local message leaves the editor as import text: written to scratch files,
// queued for the import program, and the program started.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/message_block.h"
#include "compose/outgoing.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/service_dirs.h"
#include "core/small_text.h"
#include "core/text1252.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"

namespace {

constexpr uint32_t kImportFlags = 0x800;

std::string ScratchName() {
  char path[MAX_PATH];
  do {
    std::snprintf(path, sizeof path, "%smsw%d.tmp", g_app.dataDir, std::rand());
  } while (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
  return path;
}

void DateText(char* out, size_t size) {
  out[0] = 0;
  time_t now = std::time(nullptr);
  struct tm* local = std::localtime(&now);
  if (local) std::strftime(out, size, "%a, %d %b %Y %H:%M:%S", local);
}

// Body, attachments and, for mail, the length in the first line; false when
// a write failed or an attachment went missing meanwhile.
bool WriteTail(FILE* f, const char* body, EditorState* s, bool memo) {
  std::fputs(body, f);
  std::fputs("\r\n", f);
  bool ok = true;
  for (int i = 0; i < s->Attachments.count(); ++i)
    if (UuencodeFile(s->Attachments.get(i), f) != 0) ok = false;
  if (memo && !PatchMemoLength(f)) ok = false;
  return ok && std::fflush(f) == 0 && !std::ferror(f);
}

bool WriteSenderCopy(const std::string& path, const char* body, EditorState* s, const OutgoingHead& head) {
  FILE* f = fopen_w(path.c_str(), FO_BINARY);
  if (!f) return false;
  WriteMemoHead(f, s, head, true);
  std::fputs(body, f);
  std::fputs("\r\n", f);
  for (int i = 0; i < s->Attachments.count(); ++i) {
    const char* a = s->Attachments.get(i);
    if (std::strchr(a, ' '))
      std::fprintf(f, "[Attachment FILE://\"%s\" sent]\r\n", a);
    else
      std::fprintf(f, "[Attachment FILE://%s sent]\r\n", a);
  }
  bool ok = PatchMemoLength(f) && std::fflush(f) == 0 && !std::ferror(f);
  fileclose(f);
  return ok;
}

void EraseAll(const std::vector<std::string>& files) {
  for (const std::string& f : files) EraseFileOnce(f.c_str());
}

}  // namespace

int ComposeOutgoing(EditorState* s) {
  g_editorControlHooks.readFields(s);
  char* body = g_editorControlHooks.bodyWithSoftBreaks(s);
  if (!body) return 1;
  RemoveRecipientRepeats(s);
  s->To.RemoveOwnAddresses("local");
  s->Cc.RemoveOwnAddresses("local");
  s->Bcc.RemoveOwnAddresses("local");
  if (s->bSendAsShown)
    SoftBreaksToHard(body);
  else
    RemoveSoftBreaks(body);
  int chars = BodyCharCount(body);

  // An attachment that cannot be read stops the send, so the editor stays
  // open for the user to mend it instead of losing the file silently.
  for (int i = 0; i < s->Attachments.count(); ++i) {
    const char* a = s->Attachments.get(i);
    FILE* probe = std::fopen(a, "rb");
    if (!probe) {
      MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to open the attached file '%s'.", a);
      std::free(body);
      return 1;
    }
    std::fclose(probe);
  }

  std::string first = ScratchName();
  FILE* f = fopen_w(first.c_str(), FO_BINARY);
  if (!f) {
    std::free(body);
    return 1;
  }
  char date[49];
  DateText(date, sizeof date);
  unsigned r1 = static_cast<unsigned>(std::rand()), r2 = static_cast<unsigned>(std::rand());
  char id[128];
  FormatLocalMessageId(id, sizeof id, static_cast<long>(std::time(nullptr)), r1, r2);
  OutgoingHead head{g_app.userName, date, id};
  bool memo = !s->bSay && !s->bComment;
  if (memo)
    WriteMemoHead(f, s, head, false);
  else
    WriteConferenceHead(f, s, head, chars);
  bool ok = WriteTail(f, body, s, s->bMailing != 0);
  fileclose(f);
  if (!ok) {
    EraseFileOnce(first.c_str());
    std::free(body);
    return 1;
  }

  // Every copy is made before any is queued, and all are queued or none:
  // a half-queued mail would be doubled by the user's resend.
  std::vector<std::string> copies;
  std::vector<std::string> kinds;
  if (s->bMailing) {
    CAddrList* lists[] = {&s->To, &s->Cc, &s->Bcc};
    for (CAddrList* list : lists)
      for (int i = 0; i < list->Count() && ok; ++i) {
        std::string copy = ScratchName();
        ok = CopyFileChunked(first.c_str(), copy.c_str());
        if (ok) {
          copies.push_back(copy);
          kinds.push_back(list->At(i)->address);
        }
      }
    if (ok && s->bSendToSelf) {
      ok = WriteSenderCopy(first, body, s, head);
      if (ok) {
        copies.push_back(first);
        kinds.push_back(g_app.userName);
      }
    }
    if (!s->bSendToSelf || !ok) EraseFileOnce(first.c_str());
  } else {
    copies.push_back(first);
    kinds.push_back("messages");
  }
  std::free(body);
  size_t queued = 0;
  for (; ok && queued < copies.size(); ++queued)
    ok = QueueImport(s->szService, copies[queued].c_str(), kinds[queued].c_str(), kImportFlags);
  if (!ok) {
    for (size_t i = 0; i + 1 < queued; ++i) UnqueueImport(copies[i].c_str());
    EraseAll(copies);
    return 1;
  }
  RunImportProgram();
  return 0;
}

void LoadCustomHeaders(EditorState* s) {
  char keys[3][128];
  char folder[260];
  std::snprintf(folder, sizeof folder, "%s:%s", s->szService, s->szFolders);
  CustomHeaderKeys(s, ismailfolder(folder), keys);
  s->szCustomHeaders[0] = 0;
  for (auto& key : keys) {
    const char* value = GetNamedIniString(g_app.userName, "Headers", key);
    StrCopyN(s->szCustomHeaders, UnescapeLine(value ? value : ""), sizeof s->szCustomHeaders - 1);
    if (s->szCustomHeaders[0]) return;
  }
}
