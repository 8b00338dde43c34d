#include "msgbase/import_text.h"

#include <cstdio>

namespace {

// A field that lands on a header line can't be allowed to start another line.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string Number(long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%ld", value);
  return text;
}

std::string HeaderText(const ImportMessage& m, size_t length) {
  std::string out = "==========\r\n";
  out += OneLine(m.folder) + " #" + Number(m.number) + ", from " + OneLine(m.author) + ", " +
         Number(static_cast<long>(length)) + " chars, " + OneLine(m.date) + "\r\n";
  if (m.commentTo) out += "Comment to " + Number(m.commentTo) + ".\r\n";
  out += "----------\r\n";
  return out;
}

std::string ImportedFrom(std::string_view sourcePath) {
  if (sourcePath.empty()) return {};
  return "Imported-from: FILE://" + OneLine(sourcePath) + "\r\n\r\n";
}

}  // namespace

std::string ImportMessageText(const ImportMessage& message, std::string_view body) {
  return HeaderText(message, body.size()) + std::string(body);
}

std::string WithdrawalText(const ImportMessage& message, bool byAdministrator) {
  static const char kByAuthor[] = " ** Withdrawn by author            ** \r\n";
  static const char kByAdministrator[] = " ** Withdrawn by administrator     ** \r\n";
  static_assert(sizeof kByAuthor - 1 == 40 && sizeof kByAdministrator - 1 == 40);
  return HeaderText(message, 40) + (byAdministrator ? kByAdministrator : kByAuthor) + "\r\n";
}

std::string ImportDate(const std::tm& when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int day = when.tm_wday >= 0 && when.tm_wday < 7 ? when.tm_wday : 0;
  int month = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d", kDays[day], when.tm_mday, kMonths[month],
                when.tm_year + 1900, when.tm_hour, when.tm_min);
  return text;
}

std::string DroppedTextBlock(std::string_view folder, std::string_view sourcePath, std::string_view text) {
  return "!start " + OneLine(folder) + " File\r\n" + ImportedFrom(sourcePath) + std::string(text) + "\r\n!end\r\n";
}

std::string DroppedFileBlockHead(std::string_view folder, std::string_view fileName, std::string_view sourcePath) {
  std::string name = OneLine(fileName);
  return "!start " + OneLine(folder) + " " + name + "\r\n" + ImportedFrom(sourcePath) + name + "\r\n";
}

std::string DroppedFileBlockEnd() { return "!end\r\n"; }

std::string SchedulerNoticeBlock(std::string_view text) {
  return "!start actions/information Scheduler\n" + std::string(text) + "!end\n";
}

std::string AdminReportBlock(std::string_view label, std::string_view text) {
  return "!start actions/admin " + OneLine(label) + "\n" + std::string(text) + "!end\n";
}

std::string ImportPragma(std::string_view name, std::string_view value) {
  return "#pragma " + OneLine(name) + "=" + OneLine(value) + "\r\n";
}

std::string NewFolderPragma(std::string_view conference, std::string_view topic) {
  return ImportPragma("newfolder", std::string(conference) + "/" + std::string(topic));
}
