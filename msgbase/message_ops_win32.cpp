#include "msgbase/message_ops.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/folder_paths.h"
#include "core/rights.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"

namespace {
int NotQueued(const char*) { return 0; }
bool NotModerator(const char*) { return false; }
// The open folder's service's action file.
const char* CurrentActionFile() {
  static char path[MAX_PATH];
  return bscname(path, sizeof path);
}
void NoAddress(char* out, size_t size) {
  if (size) out[0] = 0;
}
}  // namespace

const MessageOpsHooks kDefaultMessageOpsHooks = {NotQueued, NotModerator, CurrentActionFile, nullptr, NoAddress};
MessageOpsHooks g_messageOpsHooks = kDefaultMessageOpsHooks;
FILE* g_batchFile = nullptr;

namespace {

constexpr uint32_t kDeleteAfterImport = 0x00000800;
// Header searches read no further than this; whole-message reads are bounded
// by the message's stated size.
constexpr size_t kMaxMessageRead = 4 * 1024 * 1024;

// The open topic's message: its parsed header and its body as read from the
// log. False when there is no topic or no such message.
bool ReadOpenMessage(long number, MessageHeader* header, std::string* headerLine, std::string* body, bool headerOnly) {
  if (!g_topic.log || !scanmsg(number)) return false;
  MessageHeader parsed;
  if (ReadMessageStartAt(g_logReader, g_topic.cachedOffset, &parsed) != number) return false;
  if (header) *header = parsed;
  if (headerLine) {
    // After the parse the reader's line holds the whole header block.
    headerLine->assign(g_logReader.line, std::min(g_logReader.lineLength, kHeaderBufferSize));
  }
  if (!body) return true;
  body->clear();
  while (g_logReader.remaining > 0 && body->size() < kMaxMessageRead) {
    long n = readmsgline(g_logReader);
    if (n <= 0) break;
    g_logReader.remaining -= n;
    body->append(g_logReader.line, g_logReader.lineLength);
    if (headerOnly && n < 3) break;  // the empty line that ends the header
  }
  return true;
}

bool IsUser(const char* author) {
  std::string name = author;
  while (!name.empty() && (name.back() == ',' || name.back() == ' ')) name.pop_back();
  return SameText1252(name.c_str(), g_app.userName);
}

void NoteCancelled(long number) { MsgBoxF(MB_OK | MB_ICONINFORMATION, "Message %ld will be cancelled", number); }

FILE* OpenActionFile() {
  const char* path = g_messageOpsHooks.actionFile();
  FILE* file = path && *path ? std::fopen(path, "ab") : nullptr;
  if (!file) WarnBoxF("Can't open '%s'", path ? path : "");
  return file;
}

bool WriteAndClose(FILE* file, const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0) ok = false;
  if (!ok) WarnBoxF("Can't write '%s'", g_messageOpsHooks.actionFile());
  return ok;
}

int EraseComposite(long number) {
  std::string body;
  if (!ReadOpenMessage(number, nullptr, nullptr, &body, true)) return 0;
  std::string first = body.substr(0, body.find_first_of(" \t\r\n"));
  if (first.empty() || first.size() > 200) return 0;
  char question[260];
  std::snprintf(question, sizeof question, "Do you want to erase '%s' ?", first.c_str());
  if (!askyesno(question)) return 0;
  std::string command = "modera " + first;
  g_messageOpsHooks.makeScriptCmd(command.c_str());
  return 1;
}

int CancelTerminalMessage(long number, const char* format) {
  FILE* file = OpenActionFile();
  if (!file) return 0;
  char entry[512];
  std::snprintf(entry, sizeof entry, ";-; id:\t%s type:\tscript script:\tCancel message priority:\t60 #:\t%s #:\t%ld\n",
                g_app.userName, g_topic.openName, number);
  if (!WriteAndClose(file, entry + CancelLine(format, g_topic.openName, number) + "\n")) return 0;
  NoteCancelled(number);
  return 1;
}

int CancelNewsMessage(long number) {
  char groups[4096], from[4096], replyTo[4096], id[4096];
  GetHeaderField(number, "Newsgroups", groups, sizeof groups, false);
  GetHeaderField(number, "From", from, sizeof from, false);
  GetHeaderField(number, "Reply-To", replyTo, sizeof replyTo, false);
  GetHeaderField(number, "Message-ID", id, sizeof id, false);
  char own[512] = "";
  g_messageOpsHooks.ownAddress(own, sizeof own);
  char sender[4096];
  BareAddress(from, sender, sizeof sender);
  strtrim(sender);
  if (!own[0] || !SameText1252(sender, own)) {
    WarnBoxF("You cannot cancel other users messages");
    return 0;
  }
  FILE* file = OpenActionFile();
  if (!file) return 0;
  std::string entry = std::string(";-; id:\t") + g_app.userName +
                      " type:\tscript script:\tCancel message priority:\t60 #:\t" + groups + " #:\t" + from + " #:\t" +
                      sender + " #:\t" + id + "\n" + "CancelArticle\n" + groups + "\n" + from + "\n" + sender + "\n" +
                      id + "\n";
  if (!WriteAndClose(file, entry)) return 0;
  NoteCancelled(number);
  return 1;
}

int WithdrawLocalMessage(long number) {
  MessageHeader header;
  std::string body;
  if (!ReadOpenMessage(number, &header, nullptr, &body, true)) return 0;
  const bool own = IsUser(header.author);
  if (!own && !HasRight(RIGHT_CANCEL) && !g_messageOpsHooks.canModerateTopic(g_topic.openName)) {
    WarnBoxF("You cannot cancel other users messages");
    return 0;
  }
  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  std::string author = header.author;
  while (!author.empty() && (author.back() == ',' || author.back() == ' ')) author.pop_back();
  std::string date = ImportDate(local);
  ImportMessage message{g_topic.openName, number, author, date, header.parent > 0 ? header.parent : 0};
  std::string text = WithdrawalText(message, !own);

  char path[MAX_PATH];
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "msw%d.tmp", std::rand());
    if (!JoinPath(path, sizeof path, {g_app.dataDir, name})) break;
    file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    WarnBoxF("Can't create a temporary file in '%s'", g_app.dataDir);
    return 0;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  if (!CloseHandle(file)) ok = false;
  char service[SERVICE_KEY_MAX + 1] = "";
  getservice(service, g_topic.openName);
  // A file the queue did not take would never be imported: the erase failed.
  if (!ok || !QueueImport(service, path, "messages", kDeleteAfterImport)) {
    DeleteFileA(path);
    if (!ok) WarnBoxF("Can't write '%s'", path);
    return 0;
  }
  RunImportProgram();
  NoteCancelled(number);
  return 1;
}

}  // namespace

int EraseMessage(long number) {
  if (!g_topic.log) return 0;
  const char* folder = g_topic.openName;
  if (std::strchr(folder, '\xFF')) return EraseComposite(number);
  if (IsDvnLibraryFolder(folder)) {
    WarnBoxF("Deleting files from library lists is not supported.");
    return 0;
  }
  char service[SERVICE_KEY_MAX + 1] = "";
  getservice(service, folder);
  if (SameText1252(service, "dvn")) {
    // The service file's "z" line holds the cancel format unless the caller supplies one.
    const char* format = g_messageOpsHooks.cancelFormat ? g_messageOpsHooks.cancelFormat()
                         : g_hconf.slots                ? g_hconf.slots[HCONF_Z]
                                                        : nullptr;
    if (format && *format) return CancelTerminalMessage(number, format);
  }
  if (SameText1252(service, "net")) return CancelNewsMessage(number);
  if (!SameText1252(service, "local")) {
    if (g_messageOpsHooks.makeScriptCmd("withdraw") == 2) {
      NoteCancelled(number);
      return 1;
    }
    return 0;
  }
  return WithdrawLocalMessage(number);
}

int GetHeaderField(long number, const char* field, char* buffer, size_t size, bool whole) {
  if (buffer && size) buffer[0] = 0;
  std::string body;
  if (!ReadOpenMessage(number, nullptr, nullptr, &body, !whole)) return 0;
  return FindHeaderField(body, field, buffer, size, whole);
}

void WriteBatchMessage(long number, bool logForm) {
  if (!g_batchFile) return;
  MessageHeader header;
  std::string headerLine, body;
  if (!ReadOpenMessage(number, &header, &headerLine, &body, false)) return;
  BatchForm form = BatchForm::Log;
  if (!logForm && ismailfolder(g_topic.openName))
    form = BatchForm::Memo;
  else if (!logForm && isnewsfolder(g_topic.openName))
    form = BatchForm::Rnews;
  std::string text = BatchMessageText(form, headerLine, body, number, header.size);
  if (std::fwrite(text.data(), 1, text.size(), g_batchFile) != text.size())
    WarnBoxF("Can't write message %ld to the batch file", number);
}
