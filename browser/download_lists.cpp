#include "browser/download_lists.h"

#include <cstring>

#include "core/text1252.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(ToLower1252(static_cast<unsigned char>(c)));
  return text;
}

template <typename Each>
void ForEachLine(const std::string& text, Each each) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    each(line);
  }
}

}  // namespace

std::vector<std::string> ReadDownloadedFiles(const std::string& filesWw, const std::string& folder) {
  std::vector<std::string> out;
  ForEachLine(filesWw, [&](const std::string& line) {
    size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0) return;
    if (!SameText1252(line.substr(0, blank).c_str(), folder.c_str())) return;
    size_t start = line.find_first_not_of(' ', blank);
    if (start == std::string::npos) return;
    size_t stop = line.find(' ', start);
    out.push_back(line.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
  });
  return out;
}

std::vector<std::string> ReadQueuedDownloads(const std::string& actions, const std::string& folder,
                                             const std::string& otherFolder) {
  std::vector<std::string> out;
  const std::string wanted = "#:\t" + Lower(folder), other = "#:\t" + Lower(otherFolder);
  auto holdsArgument = [](const std::string& line, const std::string& argument) {
    for (size_t at = line.find(argument); at != std::string::npos; at = line.find(argument, at + 1)) {
      size_t end = at + argument.size();
      if (end == line.size() || line[end] == ' ' || line[end] == '\t') return true;
    }
    return false;
  };
  ForEachLine(actions, [&](const std::string& raw) {
    const std::string line = Lower(raw.substr(0, 300));
    if (line.compare(0, 3, ";-;") != 0 && line.compare(0, 3, ";#;") != 0) return;
    if (line.find("script:\tdownload file ") == std::string::npos) return;
    if (!holdsArgument(line, wanted) && (otherFolder.empty() || !holdsArgument(line, other))) return;
    size_t field = 0, at = 0;
    while (field < 6 && at != std::string::npos) {
      at = raw.find('\t', at);
      if (at != std::string::npos) ++at, ++field;
    }
    if (at == std::string::npos || at >= raw.size()) return;
    std::string name = raw.substr(at, raw.find_first_of("\t ", at) - at);
    if (!name.empty()) out.push_back(name);
  });
  return out;
}

bool ListHoldsName(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& entry : list)
    if (SameText1252(entry.c_str(), name.c_str())) return true;
  return false;
}
