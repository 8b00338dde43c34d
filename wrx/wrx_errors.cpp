// The control's numbered messages. Callers pass codes, never texts.
#include "wrx/wrx_block.h"

namespace {
const char* const kErrorTable[200] = {
    "No User Error",                                                                    // 0
    "Invalid Bitmap File",                                                              // 1
    "A space or an invalid character in the footnote marker!",                          // 2
    "Object Size Error",                                                                // 3
    "Invalid Printer Driver",                                                           // 4
    "Cell Table data missing or cell table allocation error.",                          // 5
    "Table Cell found without Table Row!",                                              // 6
    "This name is already in use by a Character style. Select New Name",                // 7
    "Some Character Formatting data missing.",                                          // 8
    "Clipboard in use by another application",                                          // 9
    "Error retrieving the clipboard data",                                              // 10
    "Clipboard does not contain Specified Formatted Data",                              // 11
    "Field name count must be equal to Field Data count! Mail Merge Error",             // 12
    "File Does Not Exist, Create a New File?",                                          // 13
    "End of Backward Search",                                                           // 14
    "End of Forward Search",                                                            // 15
    "Error adding string to listbox",                                                   // 16
    "Error adding value to listbox",                                                    // 17
    "Error setting the data advise connection",                                         // 18
    "AdviseSink Creation Error!",                                                       // 19
    "Block Size Error",                                                                 // 20
    "Error Creating the Bitmap.",                                                       // 21
    "Error creating the control window",                                                // 22
    "Error retrieving data object",                                                     // 23
    "Error Creating Device Independent Bitmap!",                                        // 24
    "Error finishing the page",                                                         // 25
    "Error finishing printing",                                                         // 26
    "Error getting file length",                                                        // 27
    "Could Not Open the File.",                                                         // 28
    "File Read Error",                                                                  // 29
    "Error in file seek",                                                               // 30
    "Error writing to file",                                                            // 31
    "This selection contains protected text",                                           // 32
    "Spell Checking Session Over",                                                      // 33
    "Stylesheet Table data missing or stylesheet allocation error.",                    // 34
    "Tab Table data missing.",                                                          // 35
    "Table array data missing or table allocation error.",                              // 36
    "Specify a name for the new style",                                                 // 37
    "UNDO Buffer Empty. UNDO Not Available",                                            // 38
    "Unexpected End of File",                                                           // 39
    "Selection may not extend across header/footer and page text",                      // 40
    "Section Table data missing.",                                                      // 41
    "Error Creating Font",                                                              // 42
    "Unable to select the font.",                                                       // 43
    "Error Initializing the Bitmap",                                                    // 44
    "Error initializing OLE!",                                                          // 45
    "Error Initializing the printer.",                                                  // 46
    "Can not create proc instance!",                                                    // 47
    "Unable to load the accelerator table.",                                            // 48
    "Error during mail merge!",                                                         // 49
    "Could Not Obtain Buffer Lock.",                                                    // 50
    "Error accessing meta file data",                                                   // 51
    "Invalid Windows Metafile File",                                                    // 52
    "Error copying metafile",                                                           // 53
    "Error creating metafile DC",                                                       // 54
    "Can not Read the Metafile",                                                        // 55
    "Error recreating meta file",                                                       // 56
    "Error getting OLE storage data!",                                                  // 57
    "Error getting object size. File Save Incomplete!",                                 // 58
    "Error getting object size!",                                                       // 59
    "Error writing class id",                                                           // 60
    "OLE data conversion error",                                                        // 61
    "OLE load error",                                                                   // 62
    "Error saving the OLE object",                                                      // 63
    "Error writing user type",                                                          // 64
    "Invalid OLE version!",                                                             // 65
    "Unable to create control pens.",                                                   // 66
    "Invalid Picture File Format!",                                                     // 67
    "Can not Open the picture File",                                                    // 68
    "Error reading the picture file",                                                   // 69
    "Error retrieving presentation data",                                               // 70
    "Error creating client site!",                                                      // 71
    "Unable to Start the Print Job",                                                    // 72
    "Error creating OLE storage!",                                                      // 73
    "Error retrieving the OLE storage",                                                 // 74
    "Unable to get text metric for the font.",                                          // 75
    "Error retrieving view object",                                                     // 76
    "File Information data missing.",                                                   // 77
    "File Information signature missing.",                                              // 78
    "Font Table Incomplete!",                                                           // 79
    "Must Enter a Valid Number",                                                        // 80
    "The 'rect' variable may not be NULL when printing to a Windows' device context!",  // 81
    "Invalid Section Data Encountered!",                                                // 82
    "Invalid Selection",                                                                // 83
    "Must keep atleast one header/footer line",                                         // 84
    "Line Too Long!",                                                                   // 85
    "Line(s) truncated.",                                                               // 86
    "Margin(s) Too Large!",                                                             // 87
    "Max Line Exceeded!",                                                               // 88
    "Data too long! Data Merge Error.",                                                 // 89
    "Row Marker Not Found! Can Not Split the Cell",                                     // 90
    "Can not delete the header text with the body text",                                // 91
    "Not a valid WX document! Formatting Data Ignored",                                 // 92
    "No Highlighted Block Found!",                                                      // 93
    "OLE class not found in the Registration Database!",                                // 94
    "Range printing not available in page header/footer editing mode!",                 // 95
    "The server application not found.",                                                // 96
    "String Not Found",                                                                 // 97
    "Zero length field name not allowed! Mail Merge Error.",                            // 98
    "Share Utility Required",                                                           // 99
    "Class Not Registered",                                                             // 100
    "Ran out of Cell table!",                                                           // 101
    "Out of RTF character stack.",                                                      // 102
    "Unable to create compatible DC.",                                                  // 103
    "Unable to allocate a Display Context.",                                            // 104
    "Ran out of Drag Object Table!",                                                    // 105
    "Ran Out of Font/Picture/Object Table",                                             // 106
    "Ran out of Group Table for RTF data",                                              // 107
    "Ran Out of Memory",                                                                // 108
    "Paragraph Table Exhausted!",                                                       // 109
    "Paragraph Frame Table Exhausted!",                                                 // 110
    "Value Out of Range",                                                               // 111
    "Ran out of row table!",                                                            // 112
    "Ran out of Memory for the Style Sheet Table!",                                     // 113
    "No more tab settings allowed",                                                     // 114
    "Tab Table Exhausted!",                                                             // 115
    "Ran out of task table!",                                                           // 116
    "Ran out of non-standard window slots.",                                            // 117
    "This name is already in use by a Paragraph style. Select New Name",                // 118
    "Some Paragraph Formatting data missing.",                                          // 119
    "Paragraph Table data missing.",                                                    // 120
    "Paragraph Frame Table data missing.",                                              // 121
    "Printing Area Too Small!",                                                         // 122
    "Text Protection Error",                                                            // 123
    "Read aborted",                                                                     // 124
    "Replace This String?",                                                             // 125
    "Save not complete!",                                                               // 126
    "File Modified. Do You Wish to Save the Modifications?",                            // 127
    "Section Table Full!",                                                              // 128
    "Invalid Window Handle",                                                            // 129
    "Invalid WRX DLL version",                                                          // 130
    "This deletion joins dissimilar HTML paragraphs! Invalid action.",                  // 131
    "Not enough file handles available",                                                // 132
    "Unable to access the file",                                                        // 133
};
}  // namespace

const char* WrxErrorText(int code) {
  if (code < 0 || code >= 200 || !kErrorTable[code]) return "";
  return kErrorTable[code];
}
