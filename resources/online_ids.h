// Ids of the outbasket window's resources.
#pragma once

// Button captions.
#define IDS_REVIEW_OK 34100
#define IDS_REVIEW_EDIT 34101
#define IDS_REVIEW_DELETE 34102
#define IDS_REVIEW_HOLD 34103
#define IDS_REVIEW_RELEASE 34104
#define IDS_REVIEW_CANCEL 34105
#define IDS_REVIEW_HELP 34106

// The script action edit: a label and an edit line per argument line, and
// the text block.
#define IDC_SCRIPT_LABEL 34200  // + line, 0 to 11
#define IDC_SCRIPT_LINE 34220   // + line, 0 to 11
#define IDC_SCRIPT_TEXT 34240
