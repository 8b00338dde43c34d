// The side reader of another folder's index and thread file.
#include "msgbase/side_folder.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"
#include "msgbase/records.h"
#include "msgbase/topic_index.h"

namespace {

// Read only and quiet; the index is read whole and closed at once.
FILE* OpenIndex(const char* path) { return fileopen(path, _O_RDONLY | _O_BINARY, "rb", LOCK_QUIET); }

// Opened for a moment at a time and sharing everything, deletion too, so a
// writer of the folder is never refused.
HANDLE OpenThreadFile(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

LogSource HandleSource(HANDLE handle) {
  LogSource source;
  source.context = handle;
  source.read = [](void* context, char* buffer, size_t size) -> long {
    DWORD n = 0;
    if (!ReadFile(static_cast<HANDLE>(context), buffer, static_cast<DWORD>(size), &n, nullptr)) return -1;
    return static_cast<long>(n);
  };
  source.seek = [](void* context, long offset) -> long {
    if (offset < 0) return -1;
    DWORD at = SetFilePointer(static_cast<HANDLE>(context), offset, nullptr, FILE_BEGIN);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
  };
  return source;
}

long SizeOrUnknown(const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return -1;
  return filesize(path);
}

}  // namespace

CFolder::CFolder()
    : m_index("CFolder::m_index", sizeof(IndexRec)),
      m_comment("CFolder::m_comment", sizeof(MsgIndexRec), CompareMsgNumbers) {
  m_name[0] = '\0';
  m_threadPath[0] = '\0';
}

CFolder::~CFolder() { Close(); }

bool CFolder::StampOf(void* handle, FileStamp* stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(static_cast<HANDLE>(handle), &info)) return false;
  *stamp = {info.dwVolumeSerialNumber,
            info.nFileIndexHigh,
            info.nFileIndexLow,
            info.nFileSizeHigh,
            info.nFileSizeLow,
            info.ftLastWriteTime.dwLowDateTime,
            info.ftLastWriteTime.dwHighDateTime};
  return true;
}

void CFolder::Close() {
  m_hasThread = false;
  m_threadStamp = {};
  m_threadPath[0] = '\0';
  m_index.SetSize(0);
  m_comment.SetSize(0);
  m_name[0] = '\0';
  m_flags = 0;
}

int CFolder::Open(const char* name) {
  Close();
  if (!name) return 0;
  ConfRec rec;
  {
    // A pointer of our own: the open topic's CurrentFolder stays where it is.
    SmartPointer pointer;
    if (!findconf(pointer, name)) return 0;
    std::memcpy(&rec, pointer.element, sizeof rec);
  }
  lstrcpynA(m_name, name, sizeof m_name);
  m_flags = static_cast<uint16_t>(rec.flags & 0xFFFF);

  char base[sizeof rec.baseName + 1] = {};
  std::memcpy(base, rec.baseName, strnlen(rec.baseName, sizeof rec.baseName));
  char joined[MAX_PATH * 2];
  JoinPath(joined, sizeof joined, {g_app.dataDir, base});
  char logPath[MAX_PATH];
  NormalisePath(joined, logPath, sizeof logPath);

  char path[MAX_PATH];
  lstrcpynA(path, logPath, sizeof path);
  setext(path, ".ind", sizeof path);
  lstrcpynA(m_threadPath, logPath, sizeof m_threadPath);
  setext(m_threadPath, ".thr", sizeof m_threadPath);

  // The thread file is stamped before the index is read: a rebuild between
  // the two then shows as a changed thread file, never as a matching one.
  HANDLE thread = OpenThreadFile(m_threadPath);
  if (thread != INVALID_HANDLE_VALUE) {
    m_hasThread = StampOf(thread, &m_threadStamp);
    CloseHandle(thread);
  }

  if (FILE* index = OpenIndex(path)) {
    // An offset past the log means the index is not this log's: read as
    // none. Thread records are not held to the thread file here, as a record
    // that cannot be read only empties that one summary.
    TopicIndexLimits limits;
    limits.logSize = SizeOrUnknown(logPath);
    TopicIndexHeader header;
    TopicIndexArrays arrays{&m_index, &m_comment, nullptr};
    int result = ReadTopicIndex(StdioSource(index), arrays, &header, limits);
    fileclose(index);
    // Older versions wait for the topic's own open to convert them.
    if (result != kIndexRead || header.version != kIndexVersion11007) {
      m_index.SetSize(0);
      m_comment.SetSize(0);
    }
  }

  return 1;
}

int CFolder::FindSlot(long number) {
  MsgIndexRec key = {static_cast<int32_t>(number), 0, 0};
  return m_comment.Find(&key, CompareMsgNumbers);
}

bool CFolder::HasMessage(long number) { return FindSlot(number) >= 0; }

int CFolder::GetSummary(long number, char* author, size_t authorSize, char* subject, size_t subjectSize) {
  if (!authorSize) author = nullptr;
  if (!subjectSize) subject = nullptr;
  if (author) author[0] = '\0';
  if (subject) subject[0] = '\0';
  if (!m_hasThread) return 0;
  int slot = FindSlot(number);
  if (slot < 0) return 0;
  auto* index = static_cast<IndexRec*>(m_index.At(slot));
  if (!index) return 1;  // the two arrays disagree; nothing to show
  uint32_t offset = index->thrOffset;
  HANDLE thread = OpenThreadFile(m_threadPath);
  if (thread == INVALID_HANDLE_VALUE) return 1;
  // A thread file rebuilt since the open holds other records at these
  // offsets: showing one would name the wrong author.
  FileStamp now;
  bool same = StampOf(thread, &now) && now == m_threadStamp;
  ThreadRecord record;
  bool read = same && ReadThreadRecord(HandleSource(thread), offset, (m_flags & CONF_SCRAMBLED) != 0, &record);
  CloseHandle(thread);
  if (!read) return 1;
  char authorText[kAuthorSize], subjectText[kSubjectSize];
  ThreadRecordText(record, authorText, subjectText);
  if (author) CopyBounded(author, authorSize, authorText, std::strlen(authorText));
  if (subject) CopyBounded(subject, subjectSize, subjectText, std::strlen(subjectText));
  return 1;
}
