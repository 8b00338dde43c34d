// Control ids of the message view's dialogs.
#pragma once
#define IDC_OVERWRITE_TEXT 7301
#define IDC_OVERWRITE 7302
#define IDC_OVERWRITE_SAVEAS 7303
#define IDC_OVERWRITE_NEVER 7304
