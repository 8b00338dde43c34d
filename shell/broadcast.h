// The broadcast file broadcst.txt: lines any instance appends and every
// instance reads once a second.
#pragma once

void SendBroadcast();
void PollBroadcasts();
// Forgets the read position, so the next poll starts at the file's end.
void ResetBroadcastPosition();
// A polled file's size from its directory entry, -1 when it is absent: the
// poll runs every second and opens a file only when it grew.
long PolledFileSize(const char* path);
