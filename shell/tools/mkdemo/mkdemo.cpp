// Makes the demo data directory: service directories with their .cnf files,
// the sample import text queued and imported by import32.exe, the demo user's
// folder file and settings, a rights line and a prune list.
// Usage: mkdemo <data directory> <import32.exe>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/user_folders.h"
#include "spell/tools/clx_pack.h"

namespace {

std::string g_dir;

bool WriteFile(const std::string& name, const std::string& text) {
  FILE* f = std::fopen((g_dir + name).c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// "ddMonyy hh:mm" for a day this many days ago.
std::string DaysAgo(int days, int hour) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t when = time(nullptr) - static_cast<time_t>(days) * 86400;
  struct tm* t = localtime(&when);
  char text[32];
  std::snprintf(text, sizeof text, "%02d%s%02d %02d:%02d", t->tm_mday, kMonths[t->tm_mon], t->tm_year % 100, hour % 24,
                (days * 7) % 60);
  return text;
}

struct Message {
  long number;
  const char* author;
  int daysAgo;
  long parent;
  std::string body;
  bool urgent;
};

// One message in the log's single-line form.
std::string Single(const std::string& folder, const Message& m) {
  std::string body = m.body;
  if (body.empty() || body.back() != '\n') body += "\r\n";
  std::string line = ">>>" + folder + " " + std::to_string(m.number) + " " + m.author + "(" +
                     std::to_string(body.size()) + ")" + DaysAgo(m.daysAgo, 9 + static_cast<int>(m.number % 9));
  if (m.parent) line += " c" + std::to_string(m.parent);
  std::string out;
  if (m.urgent) out += "#pragma urgent=yes\r\n";
  return out + line + "\r\n" + body + "\r\n";
}

std::string Topic(const std::string& folder, const std::vector<Message>& messages) {
  std::string text;
  for (const Message& m : messages) text += Single(folder, m);
  return text;
}

std::string Text(const char* subject, const char* line) {
  return std::string("Subject: ") + subject + "\r\n\r\n" + line + "\r\n";
}

// Conferences and newsgroups with threads of many ages, mail for demo.
std::vector<std::pair<std::string, std::string>> SampleFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  files.push_back(
      {"quorl",
       Topic("quorl:chat/general",
             {{1, "alice", 200, 0, Text("Welcome", "Welcome to the general chat."), false},
              {2, "bob", 199, 1, Text("Re: Welcome", "Thanks, glad to be here."), false},
              {3, "carol", 120, 0, Text("Old news", "This thread is old enough to prune."), false},
              {4, "alice", 119, 3, Text("Re: Old news", "Indeed it is."), false},
              {5, "dave", 3, 0, Text("Fresh topic", "Something from this week."), false},
              {6, "bob", 2, 5, Text("Re: Fresh topic", "A reply from yesterday."), false},
              {7, "carol", 1, 6, Text("Re: Fresh topic", "And one from today."), false}}) +
           Topic("quorl:chat/help", {{1, "erin", 40, 0, Text("How do I prune?", "Use the maintenance menu."), false},
                                     {2, "alice", 39, 1, Text("Re: How do I prune?", "Or /prune."), false}}) +
           Topic("quorl:mail/demo", {{1, "alice", 5, 0, Text("Lunch", "Lunch on Friday?"), false},
                                     {2, "bob", 0, 0, Text("Server down", "The server goes down at six!"), true}})});
  files.push_back(
      {"net", Topic("net:comp/lang.c", {{1, "kr", 90, 0, Text("Pointers", "A question on pointers."), false},
                                        {2, "dmr", 89, 1, Text("Re: Pointers", "An answer on pointers."), false},
                                        {3, "ken", 4, 0, Text("Style", "Where do the braces go?"), false}}) +
                  Topic("net:misc/test", {{1, "tester", 10, 0, Text("test", "Just a test."), false}})});
  std::vector<Message> local;
  const char* authors[] = {"demo", "alice", "bob", "carol", "dave"};
  long number = 1;
  for (int thread = 0; thread < 5; ++thread) {
    long root = number;
    char subject[64];
    std::snprintf(subject, sizeof subject, "Local thread %d", thread + 1);
    local.push_back({number++, authors[thread], 60 - thread * 10, 0, Text(subject, "The first message."), false});
    // Replies three deep, then a second branch.
    long parent = root;
    for (int depth = 0; depth < 3; ++depth) {
      local.push_back({number, authors[(thread + depth + 1) % 5], 59 - thread * 10 + depth, parent,
                       Text(subject, "A reply further down."), false});
      parent = number++;
    }
    local.push_back(
        {number++, authors[(thread + 2) % 5], 50 - thread * 10, root, Text(subject, "A second branch."), false});
    if (thread < 4) local.push_back({number++, "erin", 49 - thread * 10, root, Text(subject, "Me too."), false});
  }
  std::string mime =
      "Subject: Photo attached\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"demo-boundary\"\r\n\r\n"
      "--demo-boundary\r\nContent-Type: text/plain\r\n\r\nThe notes are attached.\r\n"
      "--demo-boundary\r\nContent-Type: text/plain; name=\"notes.txt\"\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
      "VGhlc2UgYXJlIHRoZSBkZW1vIG5vdGVzLgo=\r\n--demo-boundary--\r\n";
  local.push_back({number++, "alice", 1, 0, mime, false});
  files.push_back({"local", Topic("local:notes/demo", local)});
  return files;
}

bool RunImport(const std::string& program) {
  for (int round = 0; round < 60 && !ImportQueueEmpty(); ++round) {
    std::string command = "\"" + program + "\" \"" + g_dir + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA start = {sizeof start};
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, g_dir.c_str(), &start, &process)) {
      std::fprintf(stderr, "mkdemo: cannot start %s\n", program.c_str());
      return false;
    }
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return ImportQueueEmpty();
}

int QuietBox(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "mkdemo: %s\n", text);
  return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: mkdemo <data directory> <import32.exe> [word list]\n");
    return 2;
  }
  g_ui.messageBox = QuietBox;
  g_dir = argv[1];
  if (g_dir.back() != '\\') g_dir += '\\';
  lstrcpynA(g_app.dataDir, g_dir.c_str(), sizeof g_app.dataDir);
  SetCurrentDirectoryA(g_dir.c_str());

  for (const char* service : {"quorl", "net", "local"}) {
    CreateDirectoryA((g_dir + service).c_str(), nullptr);
    std::string cnf = std::string(service) + "\\" + service + ".cnf";
    if (!WriteFile(cnf, std::string("; ") + service + " service\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n")) return 1;
  }
  int n = 0;
  for (const auto& [service, text] : SampleFiles()) {
    std::string name = "sample" + std::to_string(++n) + ".txt";
    if (!WriteFile(name, text)) return 1;
    if (!QueueImport(service.c_str(), (g_dir + name).c_str(), "messages", IMPORT_DELETE_AFTER)) {
      std::fprintf(stderr, "mkdemo: cannot queue %s\n", name.c_str());
      return 1;
    }
  }
  if (!RunImport(argv[2])) {
    std::fprintf(stderr, "mkdemo: the import queue did not empty\n");
    return 1;
  }

  // demo's folders: every folder of the list.
  if (!rdconf(0)) {
    std::fprintf(stderr, "mkdemo: no folder list\n");
    return 1;
  }
  FILE* user = std::fopen((g_dir + "demo.usr").c_str(), "wb");
  if (!user || !WriteUserFolders(user, Conferences, "demo", "secret") || std::fclose(user) != 0) {
    std::fprintf(stderr, "mkdemo: cannot write demo.usr\n");
    return 1;
  }
  bool ok = WriteFile("demo.ini",
                      "[Main]\r\nStatus Bar=1\r\nMessageBase Window=1\r\nShow Post Its=1\r\nAlways Refresh Unread=1\r\n"
                      "Warn On Replys=1\r\nLast Post It=0\r\nUser Flags=4\r\nTip Of The Day=0\r\n") &&
            WriteFile("security.ww", "demo 0xFFFF\r\ndefault 0x10020\r\n") &&
            WriteFile("conf.pru", "!mail 60\nquorl:chat/general 30\nquorl:chat/ 90\n") &&
            WriteFile("fenwold.ini", "[Main]\r\nDebug Log=1\r\nPoll Period=0\r\nNew Users=1\r\n");
  if (!ok) {
    std::fprintf(stderr, "mkdemo: cannot write the settings\n");
    return 1;
  }
  // The spelling lexicons of English (1033): the Debian word list packed, and
  // the words of messaging that it lacks. Without them Spell Check says so.
  const char* wordList = argc > 3 ? argv[3] : "Z:\\usr\\share\\dict\\american-english";
  ClxPackStats packed;
  std::string packError;
  if (!ClxPackFile(wordList, (g_dir + "sornam1.clx").c_str(), 1033, packed, packError))
    std::fprintf(stderr, "mkdemo: no spelling lexicon: %s\n", packError.c_str());
  const char* const ownWords[] = {"Pelmora",    "email",   "emails", "inbox",     "login",    "logout",  "newsgroup",
                                  "newsgroups", "offline", "online", "outbasket", "username", "website", "quorl"};
  std::string custom = "#LID 1033 1 " + std::to_string(sizeof ownWords / sizeof ownWords[0]) + "\r\n";
  for (const char* word : ownWords) custom += std::string(word) + "\r\n";
  if (!WriteFile("sornamc.tlx", custom)) {
    std::fprintf(stderr, "mkdemo: cannot write sornamc.tlx\n");
    return 1;
  }
  std::printf("mkdemo: %d folders in %s\n", Conferences.Count(), g_dir.c_str());
  return 0;
}
