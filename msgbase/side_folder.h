// Reading the index and thread records of a folder other than the open
// topic: the bookmark list shows the author and subject of a message of any
// folder, the outbasket asks whether a number exists in one. It only reads:
// the open topic's globals, and every file of the folder, stay as they are.
// No file is held open between calls, so a rebuild of the folder by its own
// open (which replaces the thread file and message-id list) is never blocked;
// the object keeps seeing the folder as it was when opened.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/virtual_array.h"

class CFolder {
 public:
  static constexpr int kNameSize = 100;
  static constexpr int kAuthorSize = 26;    // 25 bytes and the terminator
  static constexpr int kSubjectSize = 101;  // 100 bytes and the terminator

  CFolder();
  ~CFolder();
  CFolder(const CFolder&) = delete;
  CFolder& operator=(const CFolder&) = delete;

  // Non-zero when the folder is in the conference list; its index, thread
  // file and message-id list may still be missing, and lookups then find
  // nothing. An index that is not of the newest version, or is damaged,
  // counts as missing: only opening the folder as the topic rebuilds it.
  int Open(const char* name);
  // Closes the files and empties the arrays; the object can be opened again.
  void Close();
  // 1 when the number is in the folder's index: author and subject are
  // filled (cut to their sizes; kAuthorSize and kSubjectSize hold them
  // whole), both empty when its thread record cannot be read or the thread
  // file is no longer the one seen at open. 0 when the folder had no thread
  // file at open or the number is absent. Either buffer may be null.
  int GetSummary(long number, char* author, size_t authorSize, char* subject, size_t subjectSize);
  bool HasMessage(long number);

  const char* Name() const { return m_name; }

 private:
  int FindSlot(long number);

  // Which file the thread file was at open: a replaced or rewritten one no
  // longer matches the index read then.
  struct FileStamp {
    uint32_t volume, indexHigh, indexLow, sizeHigh, sizeLow, writeLow, writeHigh;
    bool operator==(const FileStamp&) const = default;
  };
  static bool StampOf(void* handle, FileStamp* stamp);

  char m_name[kNameSize];
  char m_threadPath[260];
  bool m_hasThread = false;  // the folder had a thread file at open
  FileStamp m_threadStamp = {};
  VirtualArray m_index;    // IndexRec, log order
  VirtualArray m_comment;  // MsgIndexRec, by number, slot for slot with m_index
  uint16_t m_flags = 0;    // low half of the folder's flags at open
};
