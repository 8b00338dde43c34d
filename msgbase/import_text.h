// Import text: the form in which every new message and local change is handed
// to the message-import program. CR LF lines; messages in the log's own form
// or as "!start ... !end" blocks, steered by "#pragma" lines. Portable.
#pragma once
#include <ctime>
#include <string>
#include <string_view>

// One message in the topic log's form. Number 0 asks for the next number;
// commentTo 0 writes no "Comment to" line. The stated length is the body's.
struct ImportMessage {
  std::string_view folder;  // with its service prefix
  long number = 0;
  std::string_view author;
  std::string_view date;
  long commentTo = 0;
};
std::string ImportMessageText(const ImportMessage& message, std::string_view body);

// The message that withdraws a local message: its body is one 40-character
// line naming who withdrew it.
std::string WithdrawalText(const ImportMessage& message, bool byAdministrator);

// The date of a message written here: "%a, %d %b %Y %H:%M", English names.
std::string ImportDate(const std::tm& when);

// A dropped text file as one message of the folder; sourcePath empty writes
// no "Imported-from:" line.
std::string DroppedTextBlock(std::string_view folder, std::string_view sourcePath, std::string_view text);
// The head of a dropped file of another kind; the caller appends the file
// uuencoded, then DroppedFileBlockEnd().
std::string DroppedFileBlockHead(std::string_view folder, std::string_view fileName, std::string_view sourcePath);
std::string DroppedFileBlockEnd();
// A notice of the scheduler to "actions/information", and a user
// administration report to "actions/admin"; these use LF lines.
std::string SchedulerNoticeBlock(std::string_view text);
std::string AdminReportBlock(std::string_view label, std::string_view text);

// "#pragma name=value" and its line end.
std::string ImportPragma(std::string_view name, std::string_view value);
std::string NewFolderPragma(std::string_view conference, std::string_view topic);
