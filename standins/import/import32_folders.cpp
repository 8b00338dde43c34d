// conf.ww as the import program edits it: held open and unshared while a
// file is imported, folders found, added and removed by name, written whole;
// new folders' log names and directories, and impossible ranges repaired.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>

#include "core/fileio.h"
#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_log.h"
#include "msgbase/user_folders.h"
#include "standins/import/import32.h"

namespace import32 {

void ConfFile::Close() {
  if (file) fileclose(file);
  file = nullptr;
}

bool ConfFile::Open(std::string* error) {
  file = fileopen(DataFile("conf.ww").c_str(), _O_RDWR | _O_CREAT | _O_BINARY, "r+b", LOCK_EXCLUSIVE | LOCK_QUIET);
  if (!file) {
    *error = "can't open conf.ww";
    return false;
  }
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (size > 0) {
    original.resize(static_cast<size_t>(size));
    if (std::fread(original.data(), 1, original.size(), file) != original.size()) {
      *error = "can't read conf.ww";
      return false;
    }
    std::fseek(file, 0, SEEK_SET);
    VirtualArray list("Import conferences", sizeof(ConfRec), CompareConfEntries);
    if (ReadConfList(file, list, &header) != CONFFILE_OK) {
      *error = "conf.ww is damaged";
      return false;
    }
    for (int i = 0; i < list.Count(); ++i) recs.push_back(*static_cast<ConfRec*>(list.At(i)));
  }
  for (size_t i = 0; i < recs.size(); ++i) byName[Lower(recs[i].name)] = i;
  return true;
}

ConfRec* ConfFile::Find(const std::string& name) {
  auto it = byName.find(Lower(name));
  return it == byName.end() ? nullptr : &recs[it->second];
}

ConfRec* ConfFile::Add(const ConfRec& rec) {
  recs.push_back(rec);
  byName[Lower(rec.name)] = recs.size() - 1;
  return &recs.back();
}

void ConfFile::Remove(const std::string& name) {
  auto it = byName.find(Lower(name));
  if (it == byName.end()) return;
  recs.erase(recs.begin() + static_cast<long>(it->second));
  byName.clear();
  for (size_t i = 0; i < recs.size(); ++i) byName[Lower(recs[i].name)] = i;
}

bool ConfFile::Write(const std::string& bytes) {
  int fd = _fileno(file);
  return std::fflush(file) == 0 && _lseek(fd, 0, SEEK_SET) == 0 &&
         _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size()) &&
         Commit(fd, SyncKind::Conf);
}

bool ConfFile::Save() {
  VirtualArray list("Import conferences", sizeof(ConfRec), CompareConfEntries);
  for (const ConfRec& rec : recs)
    if (list.Append(&rec) < 0) return false;
  // Readers look folders up by name in the list's stored order.
  SortConfList(list);
  std::string bytes(10, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((header >> (8 * i)) & 0xFF);
  bytes[4] = bytes[5] = static_cast<char>(0xFF);
  uint32_t count = static_cast<uint32_t>(list.Count());
  for (int i = 0; i < 4; ++i) bytes[6 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  for (int i = 0; i < list.Count(); ++i) bytes.append(static_cast<const char*>(list.At(i)), sizeof(ConfRec));
  if (Write(bytes)) return true;
  if (!original.empty()) Write(original);
  return false;
}

std::string BaseNameOf(const ConfRec& rec) {
  return std::string(rec.baseName, strnlen(rec.baseName, sizeof rec.baseName));
}

// A part of a folder name as a directory or file name the rebuild's walk
// takes: no dots, no separators.
std::string FilePart(const std::string& text, size_t limit) {
  std::string out;
  for (char c : text) {
    if (out.size() >= limit) break;
    out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
  }
  return out.empty() ? "_" : out;
}

// A new folder's log lies where a rebuild of the message base looks for it:
// service directory, conference directory, topic file without extension.
std::string NewBaseName(ConfFile& conf, const std::string& folder) {
  size_t colon = folder.find(':');
  std::string service = colon == std::string::npos ? "local" : folder.substr(0, colon);
  std::string rest = colon == std::string::npos ? folder : folder.substr(colon + 1);
  size_t slash = rest.find('/');
  std::string serviceDir = FilePart(Lower(service), 8);
  std::string conference = rest.substr(0, slash), topic = rest.substr(slash + 1);
  // The 29 characters are shared out so that a short topic leaves its
  // conference whole; 3 are kept for a number that makes the name unique.
  size_t room = sizeof(ConfRec::baseName) - 1 - serviceDir.size() - 2 - 3;
  size_t conferenceRoom = room - std::min(topic.size(), room / 2);
  std::string dir = serviceDir + "\\" + FilePart(Lower(conference), conferenceRoom);
  size_t topicRoom = room - std::min(std::max<size_t>(conference.size(), 1), conferenceRoom);
  std::string stem = dir + "\\" + FilePart(Lower(topic), topicRoom);
  std::set<std::string> used;
  for (const ConfRec& rec : conf.recs) used.insert(Lower(BaseNameOf(rec)));
  std::string base = stem;
  for (int n = 1; (used.count(Lower(base)) || Exists(g_dir + base)) && n < 1000; ++n) base = stem + std::to_string(n);
  return base;
}

bool MakeDirectories(const std::string& baseName) {
  for (size_t at = baseName.find('\\'); at != std::string::npos; at = baseName.find('\\', at + 1)) {
    std::string dir = g_dir + baseName.substr(0, at);
    if (!CreateDirectoryA(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

// A folder's range from conf.ww before numbering from it: false when its last
// number leaves no room (the folder is full). A range no folder can have (a
// negative number, first past last) is repaired with a line in import.log;
// the folder's next open rebuilds its index and takes the range from the log.
bool RepairRange(ConfRec& rec) {
  if (rec.last >= kMaxMessageNumber) return false;
  long first = rec.first, last = rec.last;
  if (last < 0) last = 0;
  if (first < 0 || first > last || (last == 0 && first != 0)) first = 0;
  if (first != rec.first || last != rec.last) {
    AppendReport("conf.ww: folder " + std::string(rec.name, strnlen(rec.name, sizeof rec.name)) +
                 " had the impossible range " + std::to_string(rec.first) + " to " + std::to_string(rec.last) +
                 "; taken as " + std::to_string(first) + " to " + std::to_string(last));
    rec.first = first;
    rec.last = last;
  }
  return true;
}

}  // namespace import32
