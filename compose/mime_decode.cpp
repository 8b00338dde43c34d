// The decoders of the message view and the save-name rules: base64,
// uuencode, enriched text, the type-to-extension table, safe and unique save
// names and the overwrite question.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compose/mime_walker.h"
#include "core/small_text.h"
#include "core/text1252.h"

namespace {
// The alphabet as a table: large attachments are decoded a character at a time.
struct Base64Table {
  signed char value[256];
  Base64Table() {
    for (int c = 0; c < 256; ++c) value[c] = static_cast<signed char>(base64val(static_cast<unsigned char>(c)));
  }
};
const Base64Table kBase64;
}  // namespace

size_t Base64Decoder::Line(const char* text, size_t size, unsigned char* out) {
  size_t n = 0;
  size_t i = 0;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
  // Whole quanta at once while no partial one is pending.
  while (count == 0 && i + 4 <= size) {
    int a = kBase64.value[in[i]], b = kBase64.value[in[i + 1]], c = kBase64.value[in[i + 2]],
        d = kBase64.value[in[i + 3]];
    if ((a | b | c | d) < 0) break;
    unsigned v = static_cast<unsigned>(a) << 18 | static_cast<unsigned>(b) << 12 | static_cast<unsigned>(c) << 6 |
                 static_cast<unsigned>(d);
    out[n++] = static_cast<unsigned char>(v >> 16);
    out[n++] = static_cast<unsigned char>(v >> 8);
    out[n++] = static_cast<unsigned char>(v);
    i += 4;
  }
  for (; i < size; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int v = kBase64.value[c];
    if (v < 0) {
      if (c == '=') n += Finish(out + n);
      break;
    }
    value = (value << 6) | static_cast<unsigned>(v);
    if (++count == 4) {
      out[n++] = static_cast<unsigned char>(value >> 16);
      out[n++] = static_cast<unsigned char>(value >> 8);
      out[n++] = static_cast<unsigned char>(value);
      value = 0;
      count = 0;
    }
  }
  return n;
}

size_t Base64Decoder::Finish(unsigned char* out) {
  size_t n = 0;
  if (count == 2) {
    out[n++] = static_cast<unsigned char>(value >> 4);
  } else if (count == 3) {
    out[n++] = static_cast<unsigned char>(value >> 10);
    out[n++] = static_cast<unsigned char>(value >> 2);
  }
  value = 0;
  count = 0;
  return n;
}

static int UuValue(char c) { return c == '`' ? 0 : (static_cast<unsigned char>(c) - 32) & 0x3F; }

int UudecodeLine(const char* line, unsigned char* out) {
  if (!line || !*line) return -1;
  int count = line[0] == '`' ? 0 : static_cast<unsigned char>(line[0]) - 32;
  if (count < 0 || count > 45) return -1;
  size_t length = std::strlen(line);
  int written = 0;
  for (size_t i = 1; written < count; i += 4) {
    int v[4];
    for (int k = 0; k < 4; ++k) v[k] = i + k < length ? UuValue(line[i + k]) : 0;
    unsigned char bytes[3] = {static_cast<unsigned char>(v[0] << 2 | v[1] >> 4),
                              static_cast<unsigned char>(v[1] << 4 | v[2] >> 2),
                              static_cast<unsigned char>(v[2] << 6 | v[3])};
    for (int k = 0; k < 3 && written < count; ++k) out[written++] = bytes[k];
  }
  return written;
}

std::string EnrichedToHtml(const std::string& enriched) {
  static const char* const kTags[][2] = {
      {"nofill", "pre"}, {"/nofill", "/pre"},       {"bold", "b"},
      {"/bold", "/b"},   {"underline", "u"},        {"/underline", "/u"},
      {"italic", "i"},   {"/italic", "/i"},         {"fixed", "tt"},
      {"/fixed", "/tt"}, {"excerpt", "blockquote"}, {"/excerpt", "/blockquote"},
  };
  std::string html;
  html.reserve(enriched.size() + enriched.size() / 8 + 2);
  int nofill = 0;
  int param = 0;
  size_t i = 0;
  const size_t n = enriched.size();
  while (i < n) {
    char c = enriched[i];
    if (c == '<') {
      if (i + 1 < n && enriched[i + 1] == '<') {
        if (!param) html += "&lt;";
        i += 2;
        continue;
      }
      size_t end = i + 1;
      while (end < n && enriched[end] != '>' && end - i - 1 < 199) ++end;
      std::string command = enriched.substr(i + 1, end - i - 1);
      for (char& ch : command) ch = static_cast<char>(ToLower1252(static_cast<unsigned char>(ch)));
      i = end < n && enriched[end] == '>' ? end + 1 : end;
      if (command == "param") {
        ++param;
        continue;
      }
      if (command == "/param") {
        if (param) --param;
        continue;
      }
      if (param) continue;
      const char* tag = nullptr;
      for (const auto& t : kTags)
        if (command == t[0]) tag = t[1];
      if (command == "nofill") ++nofill;
      if (command == "/nofill" && nofill) --nofill;
      if (tag) {
        html += '<';
        html += tag;
        html += '>';
      } else {
        html += "&lt;" + command + "&gt;";
      }
      continue;
    }
    if (param) {
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      // One break: itself. Each further break of a run: "<br>".
      auto lineBreak = [&](size_t at) -> size_t {
        if (at < n && enriched[at] == '\r') ++at;
        if (at < n && enriched[at] == '\n') ++at;
        return at;
      };
      size_t next = lineBreak(i);
      html += '\n';
      if (nofill) {
        i = next;
        continue;
      }
      while (next < n && (enriched[next] == '\r' || enriched[next] == '\n')) {
        html += "<br>\n";
        next = lineBreak(next);
      }
      i = next;
      continue;
    }
    if (c == '>') {
      html += "&gt;";
    } else if (c == '&') {
      html += "&amp;";
    } else {
      html += c;
    }
    ++i;
  }
  html += '\n';
  return html;
}

const char* TypeExtension(const char* contentType, bool generated) {
  static const char* const kTable[][2] = {
      {"image/jpeg", ".jpg"}, {"image/gif", ".gif"}, {"video/mpeg", ".mpg"}, {"text/plain", ".txt"}};
  for (const auto& row : kTable)
    if (stristr(contentType, row[0])) return row[1];
  return generated ? ".bin" : "";
}

std::string SafeSaveName(const char* name) {
  const char* start = name;
  for (const char* p = name; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') start = p + 1;
  std::string out;
  for (const char* p = start; *p && out.size() < 200; ++p) {
    unsigned char c = static_cast<unsigned char>(ToLower1252(static_cast<unsigned char>(*p)));
    bool keep = IsAlnum1252(c) || c == 127 || (c && std::strchr(" $%'-_@~!()^#&.`", c));
    out += keep ? static_cast<char>(c) : '_';
  }
  // A name of dots alone would name the directory itself or its parent.
  if (out.find_first_not_of('.') == std::string::npos) out.clear();
  return out;
}

bool SavedNames::Holds(const char* fileName) const {
  for (const auto& slot : names) {
    if (!slot[0]) continue;
    const char* base = slot;
    for (const char* p = slot; *p; ++p)
      if (*p == '\\' || *p == '/') base = p + 1;
    if (SameText1252(base, fileName)) return true;
  }
  return false;
}

void SavedNames::Remember(const char* path) {
  for (auto& slot : names) {
    if (slot[0]) continue;
    StrCopyN(slot, path, SAVED_NAME_SIZE - 1);
    return;
  }
}

std::string MakeSaveName(const MimeOptions& options, const SavedNames& saved, const std::string& name,
                         const MimeOutput& out) {
  if (!saved.Holds(name.c_str())) return options.decodePath + name;
  size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (int counter = 0; counter <= 9998; ++counter) {
    char base[16];
    std::snprintf(base, sizeof base, "save%04d", counter);
    std::string path = options.decodePath + base + extension;
    if (!out.fileExists(out.context, path.c_str())) return path;
  }
  return "";
}

bool ConfirmOverwrite(MimeOptions& options, std::string& path, const MimeOutput& out) {
  while (!path.empty() && out.fileExists(out.context, path.c_str())) {
    int answer = options.warnBeforeOverwrite;
    if (answer == 0) {
      bool never = false;
      answer = out.askOverwrite(out.context, path.c_str(), &never);
      if (never && answer >= 1 && answer <= 3) {
        options.warnBeforeOverwrite = answer;
        out.storeWarning(out.context, answer);
      }
    }
    if (answer == 1) return true;
    if (answer != 2) break;
    char chosen[SAVED_NAME_SIZE];
    StrCopyN(chosen, path.c_str(), sizeof chosen - 1);
    if (out.askSaveAs(out.context, chosen, sizeof chosen)) {
      path = chosen;
    } else if (options.warnBeforeOverwrite == 2) {
      break;
    }
  }
  if (path.empty() || out.fileExists(out.context, path.c_str())) {
    path.clear();
    return false;
  }
  return true;
}

bool ParsePartialHeader(const char* header, PartialInfo* info) {
  // Header lines run to a blank line or a line that is no field; a first
  // "From " line is allowed. Continuation lines join their field.
  std::string type;
  bool inType = false;
  const char* p = header;
  bool first = true;
  while (*p) {
    const char* end = p;
    while (*end && *end != '\n') ++end;
    std::string line(p, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    p = *end ? end + 1 : end;
    if (line.empty()) break;
    if (first && line.compare(0, 5, "From ") == 0) {
      first = false;
      continue;
    }
    first = false;
    if (line[0] == ' ' || line[0] == '\t') {
      if (inType) type += line;
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos || line.find(' ') < colon) break;
    inType = colon == 12 && SameText1252(line.substr(0, 13).c_str(), "content-type:");
    if (inType) type = line.substr(13);
  }
  if (!stristr(type.c_str(), "/partial")) return false;
  char id[200], number[32], total[32];
  if (!GetHeaderParam(type.c_str(), "id", id, sizeof id) ||
      !GetHeaderParam(type.c_str(), "number", number, sizeof number) ||
      !GetHeaderParam(type.c_str(), "total", total, sizeof total))
    return false;
  info->id = id;
  info->number = std::atoi(number);
  info->total = std::atoi(total);
  return info->number >= 1 && info->total >= 1 && info->number <= info->total && !info->id.empty();
}
