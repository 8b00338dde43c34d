// The broadcast file broadcst.txt: lines any instance appends and every
// instance reads once a second.
#pragma once

void SendBroadcast();
void PollBroadcasts();
// Forgets the read position, so the next poll starts at the file's end.
void ResetBroadcastPosition();
