// Fields of a message read from its text: date, sender, recipients, subject,
// Message-ID and a one-line summary, for every service's format (mail and
// news headers with MIME, Dravenet's "Fm:"/"Subj:" lines, conferencing text).
// Portable: works on the topic log reader only.
#pragma once
#include <cstddef>

#include "msgbase/topic_log.h"

// What the rules need to know about the folder. The caller fills it from the
// folder name and the service tests.
struct FolderKind {
  bool mail = false;       // msmail, ccmail, or first part "mail"/"@ail"
  bool news = false;       // quorlnews, net, delnews, or a usenet name
  bool dravenet = false;   // dvn
  bool quorl = false;      // quorl
  bool local = false;      // local folders never start in header mode
  bool composite = false;  // the name holds the byte 0xFF
  // The fixed four-letter signature name whose line (followed by a control
  // character) never becomes a summary; empty turns the rule off.
  const char* signatureName = "";
};

// Classifies a folder name ("service:conference/topic") by the service tests.
FolderKind FolderKindFromName(const char* folderName);

struct MessageFields {
  char date[100];
  char sender[100];
  char recipients[100];
  char subject[100];
  char messageId[100];
  char summary[100];
  // A line read begins "Only the header of this message was collected" or
  // "*** Header Only ***".
  bool headerOnlyMarker;
};

// True when the line looks like a mail or news header line.
bool IsHeaderLine(const char* line);

// True when a line read from a body marks a message whose text was not fetched.
bool IsHeaderOnlyLine(const char* line);

// Reads on from the reader's position while reader.remaining lasts (each line
// read is subtracted) and fills the fields; 1. Once the fields are settled,
// lines that cannot change them are passed without being copied, so the
// reader's line buffer need not hold the body's last line afterwards.
int GetMessageFields(LogReader& reader, const FolderKind& kind, MessageFields& fields);
