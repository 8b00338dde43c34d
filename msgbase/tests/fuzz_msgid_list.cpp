// Feeds arbitrary bytes to the message-id file reader, then adds to the lists
// and writes them back.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "msgbase/msgid_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = std::tmpfile();
  if (!in) return 0;
  std::fwrite(data, 1, size, in);
  std::rewind(in);
  static VirtualArray ids("msgid", sizeof(MsgIdEntry), CompareMsgIdKeys);
  static VirtualArray subjects("subject", sizeof(MsgIdEntry), CompareMsgIdKeys);
  MessageIdList list;
  list.msgid = &ids;
  list.subject = &subjects;
  list.dravenetMailDomain = "dravenet.example";
  MsgIdListOpen(list, in);
  std::fclose(in);
  MsgIdListAdd(list, "<a_b@dravenet.example>", "Re: x", 5, 100);
  MsgIdListFindMessageId(list, "<b>");
  MsgIdListFindSubject(list, "x");
  FILE* out = std::tmpfile();
  MsgIdListSave(list, out);
  if (out) std::fclose(out);
  return 0;
}
