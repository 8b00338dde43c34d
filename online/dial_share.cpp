#include "online/dial_share.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t semi = list.find(';', pos);
    if (semi == std::string::npos) semi = list.size();
    parts.push_back(list.substr(pos, semi - pos));
    pos = semi + 1;
  }
  return parts;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ";") + part;
  return out;
}

}  // namespace

std::string DialKey(const char* service, DialLookup lookup) {
  if (!service || !service[0]) return "";
  DialSettings s;
  lookup(service, &s);
  return std::string(s.rasDial ? "1" : "0") + "@" + s.entry + "@" + s.user;
}

std::string OptimiseDialList(const std::string& list, bool alreadyConnected, DialLookup lookup) {
  if (list.empty() || alreadyConnected || list.find(';') == std::string::npos) return list;
  struct Record {
    std::string sortText, service;
  };
  std::vector<Record> dialling;
  std::vector<std::string> others;
  for (const std::string& service : Split(list)) {
    std::string key = Lower(service);
    DialSettings s;
    bool known = lookup(service.c_str(), &s);
    if (key == "ccmail" || key == "exchange" || key == "msmail" || key == "close" || !known || !s.rasDial) {
      others.push_back(service);
      continue;
    }
    dialling.push_back({Lower(std::to_string(s.rasDial) + "@" + s.entry + "@" + s.user + "@" + service), service});
  }
  std::stable_sort(dialling.begin(), dialling.end(),
                   [](const Record& a, const Record& b) { return a.sortText < b.sortText; });
  std::vector<std::string> ordered;
  for (const Record& r : dialling) ordered.push_back(r.service);
  ordered.insert(ordered.end(), others.begin(), others.end());
  return Join(ordered);
}

std::string DialShareSuffixFor(DialShareState* state, const char* service, const std::string& list, DialLookup lookup) {
  std::string current = DialKey(service, lookup);
  std::string next;
  size_t semi = list.find(';');
  if (semi != std::string::npos) {
    std::string following = list.substr(semi + 1, 10);
    following = following.substr(0, following.find(';'));
    next = DialKey(following.c_str(), lookup);
  }
  if (!state->sharingAllowed || current.empty()) return "";
  if (Lower(next) == Lower(current)) {
    state->lineKept = true;
    return " /nodisconnect";
  }
  if (state->lineKept) {
    state->lineKept = false;
    return " /disconnect";
  }
  return "";
}
