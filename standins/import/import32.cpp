// The message-import program: takes the files queued in import.dat in order,
// appends their messages to the topic logs and leaves each topic's index to
// be rebuilt at its next open. Runs without a window; the data directory is
// the command line (or the current directory).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue_file.h"
#include "msgbase/topic_log.h"
#include "msgbase/user_folders.h"

namespace {

std::string g_dir;  // data directory, ending in a backslash

std::string DataFile(const char* name) { return g_dir + name; }

struct Parsed {
  std::string folder;
  long number = 0;
  std::string author;
  std::string date;
  long commentTo = 0;
  std::string body;
};

struct ParsedFile {
  std::vector<Parsed> messages;
  std::vector<std::string> newFolders;
  std::string error;  // empty when the whole file parsed
};

bool ReadWhole(const std::string& path, std::string* out) {
  FILE* f = fileopen(path.c_str(), _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!f) return false;
  char buffer[8192];
  size_t n;
  out->clear();
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
  bool ok = !std::ferror(f);
  fileclose(f);
  return ok;
}

// The next line from pos without its CR LF; false at the end.
bool NextLine(const std::string& text, size_t* pos, std::string* line) {
  if (*pos >= text.size()) return false;
  size_t end = text.find('\n', *pos);
  size_t next = end == std::string::npos ? text.size() : end + 1;
  if (end == std::string::npos) end = text.size();
  *line = text.substr(*pos, end - *pos);
  while (!line->empty() && line->back() == '\r') line->pop_back();
  *pos = next;
  return true;
}

std::string FolderName(const std::string& service, const std::string& name) {
  if (service.empty() || !_stricmp(service.c_str(), "local") || name.find(':') != std::string::npos) return name;
  return service + ":" + name;
}

bool ParseHeader(const std::string& line, Parsed* m, long* bodySize, std::string* error) {
  char folder[101] = "", author[201] = "";
  long number = 0, size = 0;
  if (line.size() > 4000 || ScanHeaderLine(line.c_str(), folder, &number, author, &size) != 4 || size < 0 ||
      number < 0 || number > kMaxMessageNumber || !std::strchr(folder, '/')) {
    *error = "bad header line \"" + line.substr(0, 80) + "\"";
    return false;
  }
  m->folder = folder;
  m->number = number;
  m->author = author;
  if (!m->author.empty() && m->author.back() == ',') m->author.pop_back();
  *bodySize = size;
  size_t at = line.find(" chars, ");
  m->date = at == std::string::npos ? std::string() : line.substr(at + 8);
  return true;
}

ParsedFile ParseImportText(const std::string& text, const std::string& queuedService) {
  ParsedFile out;
  std::string service = queuedService;
  size_t pos = 0;
  std::string line;
  while (NextLine(text, &pos, &line)) {
    if (line.empty()) continue;
    if (line.rfind("#pragma ", 0) == 0) {
      std::string rest = line.substr(8);
      size_t eq = rest.find('=');
      std::string name = rest.substr(0, eq), value = eq == std::string::npos ? "" : rest.substr(eq + 1);
      if (name == "service") service = value;
      else if (name == "newfolder") {
        if (value.find('/') == std::string::npos || value.size() > 99) {
          out.error = "bad new folder \"" + value.substr(0, 80) + "\"";
          return out;
        }
        out.newFolders.push_back(FolderName(service, value));
      }
      continue;
    }
    if (line == "==========") {
      Parsed m;
      std::string header;
      long size = 0;
      if (!NextLine(text, &pos, &header) || !ParseHeader(header, &m, &size, &out.error)) {
        if (out.error.empty()) out.error = "message without a header line";
        return out;
      }
      bool ended = false;
      while (NextLine(text, &pos, &line)) {
        if (line == "----------") { ended = true; break; }
        long parent = 0;
        char dot = 0;
        if (std::sscanf(line.c_str(), "Comment to %ld%c", &parent, &dot) == 2 && dot == '.' && parent > 0)
          m.commentTo = parent;
      }
      if (!ended) {
        out.error = "header without its end line";
        return out;
      }
      // Import text states the body's bytes, CRs included; the log counts
      // characters without CR, and the writer below restates it so.
      if (static_cast<size_t>(size) > text.size() - pos) {
        out.error = "message body shorter than its stated length";
        return out;
      }
      m.body = text.substr(pos, static_cast<size_t>(size));
      pos += static_cast<size_t>(size);
      out.messages.push_back(std::move(m));
      continue;
    }
    if (line.rfind("!start ", 0) == 0) {
      std::string rest = line.substr(7);
      size_t blank = rest.find(' ');
      Parsed m;
      m.folder = FolderName(service, rest.substr(0, blank));
      m.author = blank == std::string::npos ? "Import" : rest.substr(blank + 1);
      if (m.folder.find('/') == std::string::npos || m.folder.size() > 100) {
        out.error = "bad block folder";
        return out;
      }
      bool ended = false;
      while (NextLine(text, &pos, &line)) {
        if (line == "!end") { ended = true; break; }
        m.body += line + "\r\n";
      }
      if (!ended) {
        out.error = "block without \"!end\"";
        return out;
      }
      out.messages.push_back(std::move(m));
      continue;
    }
    out.error = "unexpected line \"" + line.substr(0, 80) + "\"";
    return out;
  }
  return out;
}

void AppendLog(const std::string& line) {
  FILE* f = fileopen(DataFile("import.log").c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, "ab",
                     LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!f) return;
  std::fputs((line + "\r\n").c_str(), f);
  fileclose(f);
}

ConfRec* FindConf(VirtualArray& list, const std::string& name) {
  for (int i = 0; i < list.Count(); ++i) {
    auto* rec = static_cast<ConfRec*>(list.At(i));
    if (rec && !_stricmp(rec->name, name.c_str())) return rec;
  }
  return nullptr;
}

bool BaseNameUsed(VirtualArray& list, const std::string& base) {
  for (int i = 0; i < list.Count(); ++i) {
    auto* rec = static_cast<ConfRec*>(list.At(i));
    if (rec && !_strnicmp(rec->baseName, base.c_str(), sizeof rec->baseName)) return true;
  }
  return GetFileAttributesA(DataFile(base.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ConfRec* AddConf(VirtualArray& list, const std::string& name) {
  std::string stem;
  for (char c : name.substr(name.find(':') == std::string::npos ? 0 : name.find(':') + 1)) {
    if (stem.size() >= 16) break;
    stem += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  std::string base = stem + ".log";
  for (int n = 1; BaseNameUsed(list, base) && n < 100000; ++n) base = stem + std::to_string(n) + ".log";
  ConfRec rec = {};
  lstrcpynA(rec.name, name.c_str(), sizeof rec.name);
  lstrcpynA(rec.baseName, base.c_str(), sizeof rec.baseName);
  rec.order = -1;
  if (list.Append(&rec) < 0) return nullptr;
  return FindConf(list, name);
}

struct StringSource {
  const std::string* bytes;
  long position;
  static long Read(void* context, char* buffer, size_t size) {
    auto* s = static_cast<StringSource*>(context);
    long left = static_cast<long>(s->bytes->size()) - s->position;
    if (left <= 0) return 0;
    long n = left < static_cast<long>(size) ? left : static_cast<long>(size);
    std::memcpy(buffer, s->bytes->data() + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
  }
  static long Seek(void* context, long offset) {
    auto* s = static_cast<StringSource*>(context);
    if (offset < 0) return -1;
    s->position = offset;
    return offset;
  }
};

// The bytes [start, end) of a message in a log as the reader finds it;
// false when the log holds no message with that number.
bool FindMessage(const std::string& log, bool scrambled, long number, size_t* start, size_t* end) {
  StringSource bytes{&log, 0};
  LogSource source;
  source.context = &bytes;
  source.read = StringSource::Read;
  source.seek = StringSource::Seek;
  auto reader = std::make_unique<LogReader>();
  LogReaderOpen(*reader, source, scrambled);
  bool inside = false;
  for (;;) {
    long at = msgtell(*reader);
    if (readmsgline(*reader) <= 0) break;
    MessageHeader header;
    long n = IsMessageStart(*reader, &header);
    if (!n) continue;
    if (inside) {
      *end = static_cast<size_t>(at);
      return true;
    }
    if (n == number) {
      *start = static_cast<size_t>(at);
      inside = true;
    }
  }
  LogReaderClose(*reader);
  if (inside) *end = log.size();
  return inside;
}

std::string Scramble(std::string text) {
  for (char& c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    c = static_cast<char>((u << 4) | (u >> 4));
  }
  return text;
}

bool WriteAll(FILE* f, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0 &&
         _commit(_fileno(f)) == 0;
}

// Puts text in place of the message's bytes: the new log is written beside
// the old one and takes its place only when complete.
bool ReplaceMessage(const std::string& logPath, const std::string& log, size_t start, size_t end,
                    const std::string& text) {
  std::string tempPath = logPath.substr(0, logPath.find_last_of('.')) + ".imp";
  FILE* f = fileopen(tempPath.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, "wb", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!f) return false;
  bool ok = WriteAll(f, log.substr(0, start) + text + log.substr(end));
  fileclose(f);
  if (ok) ok = MoveFileExA(tempPath.c_str(), logPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileA(tempPath.c_str());
  return ok;
}

std::string IndexPathOf(const std::string& logPath) {
  size_t dot = logPath.find_last_of('.');
  size_t slash = logPath.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return logPath + ".ind";
  return logPath.substr(0, dot) + ".ind";
}

// Writes a parsed file's messages; an error text, or empty on success.
std::string Import(const ParsedFile& parsed, int* written) {
  *written = 0;
  std::string confPath = DataFile("conf.ww");
  FILE* conf = fileopen(confPath.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!conf) return "can't open conf.ww";
  VirtualArray list("Import conferences", sizeof(ConfRec), CompareConfEntries);
  uint32_t header = 0;
  std::fseek(conf, 0, SEEK_END);
  bool empty = std::ftell(conf) == 0;
  std::fseek(conf, 0, SEEK_SET);
  if (!empty && ReadConfList(conf, list, &header) != CONFFILE_OK) {
    fileclose(conf);
    return "conf.ww is damaged";
  }
  std::string error;
  for (const std::string& name : parsed.newFolders)
    if (!FindConf(list, name) && !AddConf(list, name)) error = "no room for a new folder";
  for (const Parsed& m : parsed.messages) {
    if (!error.empty()) break;
    ConfRec* rec = FindConf(list, m.folder);
    if (!rec) rec = AddConf(list, m.folder);
    if (!rec) { error = "no room for a new folder"; break; }
    char base[sizeof rec->baseName + 1] = {};
    std::memcpy(base, rec->baseName, strnlen(rec->baseName, sizeof rec->baseName));
    std::string logPath = g_dir + base;
    long number = m.number ? m.number : rec->last + 1;
    if (number > kMaxMessageNumber) { error = "folder full"; break; }
    std::string text = "==========\r\n" + m.folder + " #" + std::to_string(number) + ", from " + m.author + ", ";
    long chars = 0;
    for (char c : m.body) if (c != '\r') ++chars;
    text += std::to_string(chars) + " chars, " + m.date + "\r\n";
    if (m.commentTo) text += "Comment to " + std::to_string(m.commentTo) + ".\r\n";
    text += "----------\r\n" + m.body;
    // The next separator must start a line of its own.
    if (!m.body.empty() && m.body.back() != '\n') text += "\r\n";
    bool scrambled = (rec->flags & CONF_SCRAMBLED) != 0;
    if (scrambled) text = Scramble(text);
    // A number the topic already holds replaces that message.
    std::string existing;
    size_t start = 0, end = 0;
    bool replace = m.number && m.number <= rec->last && ReadWhole(logPath, &existing) &&
                   FindMessage(existing, scrambled, m.number, &start, &end);
    if (replace) {
      if (!ReplaceMessage(logPath, existing, start, end, text)) { error = "can't rewrite " + logPath; break; }
    } else {
      FILE* log = fileopen(logPath.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, "ab", LOCK_DENY_WRITE | LOCK_QUIET);
      if (!log) { error = "can't open " + logPath; break; }
      bool ok = WriteAll(log, text);
      fileclose(log);
      if (!ok) { error = "can't write " + logPath; break; }
    }
    DeleteFileA(IndexPathOf(logPath).c_str());
    if (rec->first == 0 || number < rec->first) rec->first = number;
    if (number > rec->last) rec->last = number;
    if (!replace) ++rec->waiting;
    ++*written;
  }
  // Readers look folders up by name in the list's stored order.
  SortConfList(list);
  std::fseek(conf, 0, SEEK_SET);
  bool saved = WriteConfList(conf, list, header) && std::fflush(conf) == 0 && _commit(_fileno(conf)) == 0;
  fileclose(conf);
  if (!saved && error.empty()) error = "can't write conf.ww";
  if (FILE* touch = fileopen(DataFile("confnew.ww").c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, "wb",
                             LOCK_QUIET))
    fileclose(touch);
  return error;
}

// Under the queue's lock: the oldest entry, or false when none is left.
bool FirstEntry(ImportQueueEntry* entry) {
  FILE* q = fileopen(DataFile("import.dat").c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!q) return false;
  VirtualArray queue("Import queue", sizeof(ImportQueueEntry));
  bool found = ReadImportQueue(q, queue) == IMPORTQ_OK && queue.Count() > 0;
  if (found) *entry = *static_cast<ImportQueueEntry*>(queue.At(0));
  fileclose(q);
  return found;
}

// Under the queue's lock: removes the entry with this path.
bool RemoveEntry(const char* path) {
  FILE* q = fileopen(DataFile("import.dat").c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!q) return false;
  VirtualArray queue("Import queue", sizeof(ImportQueueEntry));
  bool ok = ReadImportQueue(q, queue) == IMPORTQ_OK;
  for (int i = 0; ok && i < queue.Count(); ++i) {
    if (!_stricmp(static_cast<ImportQueueEntry*>(queue.At(i))->path, path)) {
      queue.RemoveAt(i);
      std::fseek(q, 0, SEEK_SET);
      ok = WriteImportQueue(q, queue);
      break;
    }
  }
  fileclose(q);
  return ok;
}

int RunQueue() {
  ImportQueueEntry entry;
  int files = 0;
  while (FirstEntry(&entry)) {
    std::string path = entry.path;
    if (!path.empty() && path[0] == '~') path = g_dir + path.substr(1);
    std::string text;
    if (!ReadWhole(path, &text)) {
      AppendLog(std::string(entry.path) + ": can't read the file");
    } else {
      ParsedFile parsed = ParseImportText(text, entry.service);
      if (!parsed.error.empty()) {
        AppendLog(std::string(entry.path) + ": not imported: " + parsed.error);
      } else {
        int written = 0;
        std::string error = Import(parsed, &written);
        if (!error.empty()) {
          AppendLog(std::string(entry.path) + ": " + std::to_string(written) + " messages imported, stopped: " + error);
          return 1;  // the entry stays queued for the next run
        }
        AppendLog(std::string(entry.path) + ": " + std::to_string(written) + " messages imported");
        if (entry.flags & IMPORT_DELETE_AFTER) DeleteFileA(path.c_str());
      }
    }
    if (!RemoveEntry(entry.path)) return 1;
    ++files;
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string dir = commandLine ? commandLine : "";
  while (!dir.empty() && (dir.back() == ' ' || dir.back() == '"')) dir.pop_back();
  while (!dir.empty() && (dir.front() == ' ' || dir.front() == '"')) dir.erase(0, 1);
  if (dir.empty()) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    dir = current;
  }
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  g_dir = dir;
  return RunQueue();
}
