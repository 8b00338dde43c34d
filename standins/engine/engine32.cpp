// Our engine program, built as term32.exe and inet32.exe: it plays the other
// side of a connection against a local "host" directory of ours.
//
// Command line: the service key first, then the switches the program gives
// ("/INI=" names the settings file whose [Main] "Message Path" is the data
// directory). Each start appends its command line to <data>host\engine.log.
//
// It reads <data><svc>\reply.ebs and its body files; every statement it
// carries out is appended to <data>host\<svc>\sent.log (the statement and
// its body on one line), and its number to <data><svc>\success.log. The
// waiting messages <data>host\<svc>\waiting\*.txt (import text) become the
// report <data><svc>.rep and move to delivered\.
//
// <data>host\engine.ctl steers it for tests, one "key=value" a line:
//   confirm=all | none | 1,3,...   which actions succeed (default all)
//   order=reverse                  numbers written last first
//   repeat=yes                     every number written twice
//   extra=99,x,-4                  further lines written at the end
//   die=start                      ends at once, writing nothing
//   die=N                          ends after N actions, without a report
//   torn=yes                       with die=N, a half number closes the log
//   exit=N                         its exit code
// A host\<svc>\engine.ctl steers that service's runs instead.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& path, bool* ok = nullptr) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (ok) *ok = file != nullptr;
  if (!file) return bytes;
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  fclose(file);
  return bytes;
}

void Append(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "ab");
  if (!file) return;
  fwrite(text.data(), 1, text.size(), file);
  fflush(file);
  fclose(file);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

// The quoted arguments of a statement ("" inside one is a quote).
std::vector<std::string> QuotedArgs(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  while ((i = line.find('"', i)) != std::string::npos) {
    std::string arg;
    i++;
    while (i < line.size()) {
      if (line[i] == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        break;
      }
      arg += line[i++];
    }
    i++;
    args.push_back(arg);
  }
  return args;
}

struct Control {
  std::string confirm = "all";
  bool reverse = false, repeat = false, torn = false;
  std::string extra;
  long dieAfter = -1;  // -1: never; 0 with dieStart
  bool dieStart = false;
  int exitCode = 0;
};

Control ReadControl(const std::string& path) {
  Control c;
  for (const std::string& line : SplitLines(ReadFile(path))) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "confirm") c.confirm = value;
    if (key == "order") c.reverse = value == "reverse";
    if (key == "repeat") c.repeat = value == "yes";
    if (key == "torn") c.torn = value == "yes";
    if (key == "extra") c.extra = value;
    if (key == "die") {
      if (value == "start")
        c.dieStart = true;
      else
        c.dieAfter = atol(value.c_str());
    }
    if (key == "exit") c.exitCode = atoi(value.c_str());
  }
  return c;
}

bool Succeeds(const Control& c, long number) {
  if (c.confirm == "all") return true;
  if (c.confirm == "none") return false;
  std::string list = "," + c.confirm + ",";
  return list.find("," + std::to_string(number) + ",") != std::string::npos;
}

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c == '\n' ? '|' : c;
  }
  return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string line = commandLine ? commandLine : "";
  std::string service = line.substr(0, line.find(' '));
  std::string ini;
  size_t at = line.find("/INI=");
  if (at != std::string::npos) {
    size_t start = at + 5;
    if (start < line.size() && line[start] == '"') {
      size_t end = line.find('"', start + 1);
      ini = line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    } else {
      ini = line.substr(start, line.find(' ', start) - start);
    }
  }
  char data[MAX_PATH] = "";
  if (!ini.empty()) GetPrivateProfileStringA("Main", "Message Path", "", data, sizeof data, ini.c_str());
  if (!data[0]) GetCurrentDirectoryA(sizeof data, data);
  std::string dataDir = data;
  if (!dataDir.empty() && dataDir.back() != '\\') dataDir += '\\';
  std::string hostDir = dataDir + "host\\";
  CreateDirectoryA(hostDir.c_str(), nullptr);
  Append(hostDir + "engine.log", line + "\r\n");
  std::string serviceDir = dataDir + service + "\\";
  std::string serviceHost = hostDir + service + "\\";
  CreateDirectoryA(serviceHost.c_str(), nullptr);
  bool ownControl = false;
  ReadFile(serviceHost + "engine.ctl", &ownControl);
  Control control = ReadControl(ownControl ? serviceHost + "engine.ctl" : hostDir + "engine.ctl");
  if (control.dieStart) return 3;
  bool haveScript = false;
  std::vector<std::string> script = SplitLines(ReadFile(serviceDir + "reply.ebs", &haveScript));
  if (!haveScript) return 2;

  // Statements: "Word "n", ..." opens action n; AddRecipient, AddAttachment
  // and EndMail lines belong to the mail before them.
  std::vector<long> done;
  long carried = 0;
  std::string logPath = serviceDir + "success.log";
  for (size_t i = 0; i < script.size(); i++) {
    const std::string& statement = script[i];
    if (statement == "Sub Script()" || statement == "End Sub" || statement.empty()) continue;
    std::string word = statement.substr(0, statement.find(' '));
    if (word == "AddRecipient" || word == "AddAttachment" || word == "EndMail") continue;
    std::vector<std::string> args = QuotedArgs(statement);
    if (args.empty()) continue;
    long number = atol(args[0].c_str());
    if (word == "GetWaitingMessages" || number <= 0) continue;
    if (!Succeeds(control, number)) continue;
    if (control.dieAfter >= 0 && carried >= control.dieAfter) {
      if (control.torn) Append(logPath, "1");
      return 3;
    }
    std::string record = statement;
    for (size_t j = i + 1; j < script.size(); j++) {
      std::string next = script[j].substr(0, script[j].find(' '));
      if (next != "AddRecipient" && next != "AddAttachment" && next != "EndMail") break;
      record += " / " + script[j];
    }
    for (const std::string& arg : args)
      if (arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".tmp") == 0) record += " | " + OneLine(ReadFile(arg));
    Append(serviceHost + "sent.log", record + "\r\n");
    carried++;
    done.push_back(number);
    if (!control.reverse && !control.repeat) Append(logPath, std::to_string(number) + "\n");
  }
  if (control.reverse || control.repeat) {
    std::vector<long> order = done;
    if (control.reverse) std::reverse(order.begin(), order.end());
    for (long n : order) {
      Append(logPath, std::to_string(n) + "\n");
      if (control.repeat) Append(logPath, std::to_string(n) + "\n");
    }
  }
  if (!control.extra.empty()) {
    std::string extra = control.extra;
    std::replace(extra.begin(), extra.end(), ',', '\n');
    Append(logPath, extra + "\n");
  }
  FILE* touch = fopen(logPath.c_str(), "ab");  // an empty log when nothing was done
  if (touch) fclose(touch);

  // The host's waiting messages become the report.
  std::string report;
  WIN32_FIND_DATAA found;
  std::string waiting = serviceHost + "waiting\\";
  std::string delivered = serviceHost + "delivered\\";
  CreateDirectoryA(delivered.c_str(), nullptr);
  HANDLE search = FindFirstFileA((waiting + "*.txt").c_str(), &found);
  std::vector<std::string> names;
  if (search != INVALID_HANDLE_VALUE) {
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) report += ReadFile(waiting + name);
  if (!report.empty()) {
    std::string path = dataDir + service + ".rep";
    Append(path, report);
    for (const std::string& name : names)
      MoveFileExA((waiting + name).c_str(), (delivered + name).c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  return control.exitCode;
}
