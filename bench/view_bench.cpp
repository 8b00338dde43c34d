// Shows a 10 MB message holding one base64 attachment (decoded to a file)
// and a 1 MB plain text message, each against a walk of the same message
// with readmsgline alone, in one run; checks the decoded file and the lines.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "compose/mime_walker.h"
#include "compose/tests/mime_test_util.h"

namespace {

// The message as a file, read as the topic log is.
struct Source {
  FILE* file;
  static long Read(void* c, char* buffer, size_t size) {
    return static_cast<long>(std::fread(buffer, 1, size, static_cast<Source*>(c)->file));
  }
  static long Seek(void* c, long offset) {
    return std::fseek(static_cast<Source*>(c)->file, offset, SEEK_SET) == 0 ? offset : -1;
  }
};
std::string g_dir;
std::string Stored(const std::string& message) {
  std::string path = g_dir + "message.log";
  std::ofstream(path, std::ios::binary) << message;
  return path;
}

long g_lines = 0;
void CountLine(void*, const char*, bool) { ++g_lines; }

double Walk(const std::string& message, long* lines) {
  std::string path = Stored(message);
  Source source{std::fopen(path.c_str(), "rb")};
  auto reader = std::make_unique<LogReader>();
  auto start = std::chrono::steady_clock::now();
  LogReaderOpen(*reader, LogSource{&source, Source::Read, Source::Seek}, false);
  long remaining = static_cast<long>(message.size());
  long count = 0;
  while (remaining > 0) {
    long n = readmsgline(*reader);
    if (n <= 0) break;
    remaining -= n;
    ++count;
  }
  *lines = count;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fclose(source.file);
  return seconds;
}

double Display(const std::string& message, const std::string& dir) {
  std::string path = Stored(message);
  Source source{std::fopen(path.c_str(), "rb")};
  auto reader = std::make_unique<LogReader>();
  SavedNames saved;
  auto start = std::chrono::steady_clock::now();
  LogReaderOpen(*reader, LogSource{&source, Source::Read, Source::Seek}, false);
  MimeWalk walk;
  walk.reader = reader.get();
  walk.remaining = static_cast<long>(message.size());
  walk.options.decode = true;
  walk.options.warnBeforeOverwrite = 1;
  walk.options.decodePath = dir;
  walk.options.tempDir = dir;
  walk.saved = &saved;
  walk.out = MakeMimeOutput(nullptr);
  walk.out.text = CountLine;
  WalkMessage(walk);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fclose(source.file);
  return seconds;
}

}  // namespace

int main() {
  std::string dir = (std::filesystem::temp_directory_path() / "view_bench").string() + "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  g_dir = dir;
  const std::string data = Binary(7 * 1024 * 1024 + 300 * 1024, 1);
  const std::string header = "From: a@b.org\r\nSubject: big\r\nMIME-Version: 1.0\r\n";
  std::string attachment = header +
                           "Content-Type: application/octet-stream; name=\"big.bin\"\r\n"
                           "Content-Transfer-Encoding: base64\r\n\r\n" +
                           Base64Encode(data, 76);
  std::string text = header + "Content-Type: text/plain\r\n\r\n";
  while (text.size() < 1024 * 1024) text += "A line of plain text in a long message, quoted > and all.\r\n";

  long walkLines = 0;
  double walkAttachment = Walk(attachment, &walkLines);
  double showAttachment = Display(attachment, dir);
  std::ifstream in(dir + "big.bin", std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(in)), {});
  if (saved != data) {
    std::printf("FAILED: the decoded attachment differs\n");
    return 1;
  }
  long textLines = 0;
  double walkText = Walk(text, &textLines);
  g_lines = 0;
  double showText = Display(text, dir);
  if (g_lines < textLines - 5) {
    std::printf("FAILED: %ld lines shown of %ld\n", g_lines, textLines);
    return 1;
  }
  std::printf("attachment %.1f MB: display %.3f s, readmsgline walk %.3f s, ratio %.2f (goal 2)\n",
              attachment.size() / 1048576.0, showAttachment, walkAttachment, showAttachment / walkAttachment);
  std::printf("text %.1f MB: display %.3f s, readmsgline walk %.3f s, ratio %.2f (goal 10)\n", text.size() / 1048576.0,
              showText, walkText, showText / walkText);
  std::filesystem::remove_all(dir);
  return 0;
}
