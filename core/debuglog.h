// The diagnostic trace debug.txt in the root of the current drive.
#pragma once

void DebugLog(const char* text);
void DebugLogF(const char* format, ...);
void CheckLogSizes();
const char* DebugLogPath();  // empty until the first line is written
