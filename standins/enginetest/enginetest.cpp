// Stands in for the outside terminal engine, commkit's client: loads
// commkit.dll, finds every function it uses by ordinal, owns the client
// window, answers the toolbox's notices, and runs a script of steps.
//
//   enginetest <script>
//
// Script lines (arguments in double quotes may use \r \n \\ \" \xNN):
//   forward on|off                 the client supplies the line itself
//   rule "<heard>" "<answer>"      the client's own line answers what it hears
//   open <name> <speed> <bits> <parity> <stop> <flow> <carrier> [<log>]
//   open-fails <error> <name> <speed> <bits> <parity> <stop> <flow> <carrier>
//   error-text "<text>"            the port's error text
//   send "<text>"                  write to the port
//   expect "<text>" <seconds>      read until the text has come
//   close
//   trace <file>                   trace records go to this file
//   trace-enter <function> | trace-exit <function>
//   trace-string <label> "<text>" | trace-long <label> <number>
//   trace-binary <label> "<data>" <hex flag>
//   delete <file>                  start a file afresh
//   compare <file> <golden>        times at line starts are masked; a golden
//                                  path starting with @ is beside the script
//   host <host script>             starts qvxhost.exe (@ for beside the script)
//   connect                        the client's own line becomes a TCP
//                                  connection to that host
//   host-heard "<entry>"           the host's log holds the entry (5 s)
//   qvx-create                     a QVX session for the port
//   qvx-start <class> <mode> <result>
//   qvx-ask <class> <function> <reply> "<text>" ok|fail
//                                  a request with one string, and its await
//   qvx-string "<text>" | qvx-long <n>   read from the reply
//   qvx-error <code> "<text>"      the session's error and its text
//   qvx-stop <final>
//   notices <code> <count>         how many notices of that code came
// Every step prints one line; the exit code is the number of failed steps.
#include <winsock2.h>
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {
struct PortObject;
struct QvxSession;
#pragma pack(push, 1)
struct Block {
  uintptr_t word0, argument;
  uint32_t value;
  PortObject* port;
};
#pragma pack(pop)

// The toolbox's functions, by ordinal.
struct Toolbox {
  HMODULE dll = nullptr;
  PortObject*(WINAPI* PortCreate)(HWND);
  void(WINAPI* PortDestroy)(PortObject*);
  void(WINAPI* PortClose)(PortObject*);
  int(WINAPI* PortOpen)(PortObject*, const char*, int32_t, int32_t, const char*, int32_t, int32_t, int32_t,
                        const char*);
  uint16_t(WINAPI* PortWrite)(PortObject*, const void*, uint16_t);
  uint16_t(WINAPI* PortWaitChar)(PortObject*, int16_t);
  void(WINAPI* PortSetForwarded)(PortObject*, int);
  uint16_t(WINAPI* PortGetError)(PortObject*);
  char*(WINAPI* PortErrorText)(PortObject*);
  void(WINAPI* ZrtMemFree)(void**);
  int(WINAPI* TraceEnter)(const char*, const char*, int, const char*);
  int(WINAPI* TraceExit)(const char*, const char*, int, const char*);
  int(WINAPI* TraceString)(const char*, const char*, int, const char*, const char*);
  int(WINAPI* TraceBinary)(const char*, const char*, int, const char*, const void*, uint16_t, int);
  int(WINAPI* TraceLong)(const char*, const char*, int, const char*, int32_t);
  QvxSession*(WINAPI* QvxCreate)(HWND);
  void(WINAPI* QvxDestroy)(QvxSession*);
  int(WINAPI* QvxStart)(QvxSession*, PortObject*, uint8_t, uint8_t);
  void(WINAPI* QvxStop)(QvxSession*, int);
  void(WINAPI* QvxBeginRequest)(QvxSession*, uint8_t, uint8_t);
  void(WINAPI* QvxPutString)(QvxSession*, const char*);
  int(WINAPI* QvxSendRequest)(QvxSession*);
  int(WINAPI* QvxAwaitReply)(QvxSession*, uint8_t, uint8_t, uint8_t);
  char*(WINAPI* QvxGetString)(QvxSession*);
  uint32_t(WINAPI* QvxGetLong)(QvxSession*);
  uint16_t(WINAPI* QvxGetError)(QvxSession*);
  char*(WINAPI* QvxErrorText)(QvxSession*);

  template <class Fn>
  bool Find(Fn& function, int ordinal) {
    function = reinterpret_cast<Fn>(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
    if (!function) printf("FAIL ordinal %d not found\n", ordinal);
    return function != nullptr;
  }
  bool Load() {
    dll = LoadLibraryA("commkit.dll");
    if (!dll) {
      printf("FAIL commkit.dll not loaded (%lu)\n", GetLastError());
      return false;
    }
    return Find(PortCreate, 2) & Find(PortDestroy, 3) & Find(PortClose, 5) & Find(PortOpen, 8) & Find(PortWrite, 13) &
           Find(PortWaitChar, 19) & Find(PortSetForwarded, 83) & Find(PortGetError, 84) & Find(PortErrorText, 71) &
           Find(ZrtMemFree, 61) & Find(TraceEnter, 1080) & Find(TraceExit, 1081) & Find(TraceString, 1082) &
           Find(TraceBinary, 1083) & Find(TraceLong, 1086) & Find(QvxCreate, 151) & Find(QvxDestroy, 152) &
           Find(QvxStart, 153) & Find(QvxStop, 155) & Find(QvxBeginRequest, 191) & Find(QvxPutString, 197) &
           Find(QvxSendRequest, 200) & Find(QvxAwaitReply, 203) & Find(QvxGetString, 209) & Find(QvxGetLong, 206) &
           Find(QvxGetError, 619) & Find(QvxErrorText, 150);
  }
};

// The client's own line, used while the port is forwarded.
struct ClientLine {
  bool open = false;
  std::string heard;
  std::deque<char> pending;
  std::vector<std::pair<std::string, std::string>> rules;
  int keepAlives = 0;
  SOCKET socket = INVALID_SOCKET;  // when connected, the line is this connection
  std::vector<unsigned> notices;

  void Hear(const char* bytes, uint32_t count) {
    if (socket != INVALID_SOCKET) {
      for (uint32_t sent = 0; sent < count;) {
        int n = send(socket, bytes + sent, int(count - sent), 0);
        if (n <= 0) break;
        sent += uint32_t(n);
      }
      return;
    }
    heard.append(bytes, count);
    for (const auto& [trigger, answer] : rules) {
      size_t at = heard.find(trigger);
      if (at == std::string::npos) continue;
      pending.insert(pending.end(), answer.begin(), answer.end());
      heard.erase(0, at + trigger.size());
    }
  }
};

ClientLine g_line;

LRESULT CALLBACK ClientProcedure(HWND window, UINT message, WPARAM code, LPARAM lParam) {
  if (message != WM_USER) return DefWindowProcA(window, message, code, lParam);
  auto* block = reinterpret_cast<Block*>(lParam);
  if (code >= 1280) g_line.notices.push_back(unsigned(code));
  switch (code) {
    case 513: ++g_line.keepAlives; break;
    case 518:
      g_line.open = true;
      block->value = 1;
      break;                                              // open
    case 517: g_line.open = false; break;                 // close
    case 520: block->value = 1; break;                    // probe
    case 519: block->value = 1; break;                    // set up
    case 521: block->value = g_line.open ? 2 : 0; break;  // modem status: carrier
    case 522:                                             // write
      g_line.Hear(reinterpret_cast<const char*>(uintptr_t(block->argument)), block->value);
      break;
    case 525: {  // read: bytes in the high half
      auto* buffer = reinterpret_cast<char*>(uintptr_t(block->argument));
      uint32_t maximum = block->value & 0xFFFF, count = 0;
      if (g_line.socket != INVALID_SOCKET) {
        u_long waiting = 0;
        ioctlsocket(g_line.socket, FIONREAD, &waiting);
        int got = waiting ? recv(g_line.socket, buffer, int(std::min<u_long>(waiting, maximum)), 0) : 0;
        block->value = uint32_t(got > 0 ? got : 0) << 16;
        break;
      }
      while (count < maximum && !g_line.pending.empty()) {
        buffer[count++] = g_line.pending.front();
        g_line.pending.pop_front();
      }
      block->value = count << 16;
      break;
    }
    default: break;
  }
  return 0;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
          word += line[i];
          continue;
        }
        char next = line[++i];
        if (next == 'r')
          word += '\r';
        else if (next == 'n')
          word += '\n';
        else if (next == 'x' && i + 2 < line.size()) {
          word += char(strtol(line.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        } else
          word += next;
      }
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ') word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

std::string ReadFileText(const std::string& name) {
  std::string text;
  FILE* file = fopen(name.c_str(), "rb");
  if (!file) return text;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  fclose(file);
  return text;
}

// Times at the starts of lines differ from run to run.
std::string MaskTimes(const std::string& text) {
  std::string masked = text;
  for (size_t at = 0; at < masked.size();) {
    if (at + 8 <= masked.size() && masked[at + 2] == ':' && masked[at + 5] == ':' && isdigit(uint8_t(masked[at])))
      masked.replace(at, 8, "hh:mm:ss");
    size_t end = masked.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return masked;
}

std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else if (uint8_t(c) < 32)
      shown += '.';
    else
      shown += c;
  }
  return shown;
}

struct Runner {
  Toolbox toolbox;
  HWND client = nullptr;
  PortObject* port = nullptr;
  std::string scriptDir;
  std::string traceFile;
  int failures = 0;
  QvxSession* session = nullptr;
  HANDLE hostProcess = nullptr;

  void Report(bool ok, const std::string& what) {
    printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    fflush(stdout);
    if (!ok) ++failures;
  }

  bool Open(const std::vector<std::string>& w, size_t from, const char* log) {
    return toolbox.PortOpen(port, w[from].c_str(), atol(w[from + 1].c_str()), atol(w[from + 2].c_str()),
                            w[from + 3].c_str(), atol(w[from + 4].c_str()), atol(w[from + 5].c_str()),
                            atol(w[from + 6].c_str()), log) == 1;
  }

  void Step(const std::vector<std::string>& w, const std::string& line) {
    const std::string& verb = w[0];
    auto argument = [&](size_t i) { return i < w.size() ? w[i] : std::string(); };
    if (verb == "forward") {
      toolbox.PortSetForwarded(port, argument(1) == "on");
      Report(true, line);
    } else if (verb == "rule" && w.size() >= 3) {
      g_line.rules.emplace_back(w[1], w[2]);
      Report(true, line);
    } else if (verb == "open" && w.size() >= 8) {
      bool ok = Open(w, 1, w.size() > 8 ? w[8].c_str() : nullptr);
      Report(ok, line + (ok ? "" : " (error " + std::to_string(toolbox.PortGetError(port)) + ")"));
    } else if (verb == "open-fails" && w.size() >= 9) {
      bool opened = Open(w, 2, nullptr);
      uint16_t error = toolbox.PortGetError(port);
      Report(!opened && error == atoi(w[1].c_str()), line + " (error " + std::to_string(error) + ")");
    } else if (verb == "error-text") {
      char* text = toolbox.PortErrorText(port);
      std::string got = text ? text : "(none)";
      toolbox.ZrtMemFree(reinterpret_cast<void**>(&text));
      Report(got == argument(1), line + " (got \"" + got + "\")");
    } else if (verb == "send") {
      std::string text = argument(1);
      bool ok = toolbox.PortWrite(port, text.data(), uint16_t(text.size())) == text.size();
      Report(ok, line);
    } else if (verb == "expect") {
      std::string wanted = argument(1), got;
      int seconds = atoi(argument(2).c_str());
      DWORD deadline = GetTickCount() + DWORD(seconds) * 1000;
      while (got.find(wanted) == std::string::npos && int32_t(GetTickCount() - deadline) < 0) {
        uint16_t byte = toolbox.PortWaitChar(port, 1);
        if (byte != 0xFFFF) got += char(byte);
      }
      Report(got.find(wanted) != std::string::npos, line + " (got \"" + Printable(got) + "\")");
    } else if (verb == "close") {
      toolbox.PortClose(port);
      Report(true, line);
    } else if (verb == "trace") {
      traceFile = argument(1);
      Report(true, line);
    } else if (verb == "trace-enter") {
      Report(toolbox.TraceEnter(traceFile.c_str(), "engine.c", 10, argument(1).c_str()) != 0, line);
    } else if (verb == "trace-exit") {
      Report(toolbox.TraceExit(traceFile.c_str(), "engine.c", 90, argument(1).c_str()) != 0, line);
    } else if (verb == "trace-string") {
      Report(toolbox.TraceString(traceFile.c_str(), "engine.c", 20, argument(1).c_str(), argument(2).c_str()) != 0,
             line);
    } else if (verb == "trace-long") {
      Report(toolbox.TraceLong(traceFile.c_str(), "engine.c", 30, argument(1).c_str(), atol(argument(2).c_str())) != 0,
             line);
    } else if (verb == "trace-binary") {
      std::string data = argument(2);
      Report(toolbox.TraceBinary(traceFile.c_str(), "engine.c", 40, argument(1).c_str(), data.data(),
                                 uint16_t(data.size()), atoi(argument(3).c_str())) != 0,
             line);
    } else if (verb == "delete") {
      DeleteFileA(argument(1).c_str());
      Report(GetFileAttributesA(argument(1).c_str()) == INVALID_FILE_ATTRIBUTES, line);
    } else if (verb == "compare") {
      std::string golden = argument(2);
      if (!golden.empty() && golden[0] == '@') golden = scriptDir + golden.substr(1);
      std::string expected = ReadFileText(golden), actual = MaskTimes(ReadFileText(argument(1)));
      bool ok = !expected.empty() && expected == actual;
      Report(ok, line);
      if (!ok) printf("---- got\n%s---- expected\n%s----\n", actual.c_str(), expected.c_str());
    } else if (verb == "host" || verb == "connect" || verb == "host-heard" || verb.rfind("qvx-", 0) == 0 ||
               verb == "notices") {
      QvxStep(w, line, argument);
    } else {
      Report(false, "unknown step: " + line);
    }
  }

  std::string Beside(const std::string& name) {
    return !name.empty() && name[0] == '@' ? scriptDir + name.substr(1) : name;
  }

  bool StartHost(const std::string& hostScript) {
    DeleteFileA("qvxhost.port");
    DeleteFileA("qvxhost.log");
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "..\\qvxhost\\qvxhost.exe";
    std::string command = "\"" + exe + "\" \"" + Beside(hostScript) + "\" qvxhost.port qvxhost.log";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    hostProcess = process.hProcess;
    for (int i = 0; i < 200; ++i) {
      if (GetFileAttributesA("qvxhost.port") != INVALID_FILE_ATTRIBUTES) return true;
      Sleep(50);
    }
    return false;
  }

  bool Connect() {
    int port = atoi(ReadFileText("qvxhost.port").c_str());
    if (!port) return false;
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      closesocket(s);
      return false;
    }
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    g_line.socket = s;
    return true;
  }

  bool HostHeard(const std::string& entry) {
    for (int i = 0; i < 100; ++i) {
      std::string log = "\n" + ReadFileText("qvxhost.log");
      if (log.find("\n" + entry + "\n") != std::string::npos) return true;
      Sleep(50);
    }
    return false;
  }

  std::string TakeText(char* text) {
    std::string got = text ? text : "(none)";
    toolbox.ZrtMemFree(reinterpret_cast<void**>(&text));
    return got;
  }

  template <class Argument>
  void QvxStep(const std::vector<std::string>& w, const std::string& line, Argument argument) {
    const std::string& verb = w[0];
    auto number = [&](size_t i) { return atoi(argument(i).c_str()); };
    if (verb == "host") {
      Report(StartHost(argument(1)), line);
    } else if (verb == "connect") {
      Report(Connect(), line);
    } else if (verb == "host-heard") {
      Report(HostHeard(argument(1)), line);
    } else if (verb == "notices") {
      long seen = std::count(g_line.notices.begin(), g_line.notices.end(), unsigned(number(1)));
      Report(seen == number(2), line + " (" + std::to_string(seen) + ")");
    } else if (verb == "qvx-create") {
      session = toolbox.QvxCreate(client);
      Report(session != nullptr, line);
    } else if (verb == "qvx-start") {
      int result = toolbox.QvxStart(session, port, uint8_t(number(1)), uint8_t(number(2)));
      Report(result == number(3), line + " (" + std::to_string(result) + ")");
    } else if (verb == "qvx-ask") {
      toolbox.QvxBeginRequest(session, uint8_t(number(1)), uint8_t(number(2)));
      toolbox.QvxPutString(session, argument(4).c_str());
      bool ok = toolbox.QvxSendRequest(session) &&
                toolbox.QvxAwaitReply(session, uint8_t(number(1)), uint8_t(number(2)), uint8_t(number(3)));
      Report(ok == (argument(5) == "ok"), line + " (error " + std::to_string(toolbox.QvxGetError(session)) + ")");
    } else if (verb == "qvx-string") {
      std::string got = TakeText(toolbox.QvxGetString(session));
      Report(got == argument(1), line + " (got \"" + got + "\")");
    } else if (verb == "qvx-long") {
      uint32_t got = toolbox.QvxGetLong(session);
      Report(got == uint32_t(strtoul(argument(1).c_str(), nullptr, 0)), line + " (got " + std::to_string(got) + ")");
    } else if (verb == "qvx-error") {
      uint16_t code = toolbox.QvxGetError(session);
      std::string text = TakeText(toolbox.QvxErrorText(session));
      Report(code == number(1) && text == argument(2), line + " (" + std::to_string(code) + " \"" + text + "\")");
    } else if (verb == "qvx-stop") {
      toolbox.QvxStop(session, number(1));
      Report(true, line);
    } else {
      Report(false, "unknown step: " + line);
    }
  }

  int Run(const char* scriptName) {
    std::string script = ReadFileText(scriptName);
    if (script.empty()) {
      printf("FAIL no script %s\n", scriptName);
      return 1;
    }
    scriptDir = scriptName;
    size_t slash = scriptDir.find_last_of("\\/");
    scriptDir = slash == std::string::npos ? "" : scriptDir.substr(0, slash + 1);
    if (!toolbox.Load()) return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ClientProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "EngineTestClient";
    RegisterClassA(&windowClass);
    client = CreateWindowA(windowClass.lpszClassName, "engine", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
    port = toolbox.PortCreate(client);
    if (!port) {
      printf("FAIL no port object\n");
      return 1;
    }
    size_t at = 0;
    while (at < script.size()) {
      size_t end = script.find('\n', at);
      std::string line = script.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? script.size() : end + 1;
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      Step(Split(line), line);
    }
    if (session) toolbox.QvxDestroy(session);
    toolbox.PortClose(port);
    toolbox.PortDestroy(port);
    DestroyWindow(client);
    if (g_line.socket != INVALID_SOCKET) closesocket(g_line.socket);
    if (hostProcess) {
      if (WaitForSingleObject(hostProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(hostProcess, 1);
        printf("FAIL the host did not end\n");
        ++failures;
      }
      CloseHandle(hostProcess);
    }
    printf("%d failed, %d keep-alive notices\n", failures, g_line.keepAlives);
    return failures;
  }
};
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printf("usage: enginetest <script>\n");
    return 2;
  }
  Runner runner;
  return runner.Run(argv[1]);
}
