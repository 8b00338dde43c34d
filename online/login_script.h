// The sign-in dialog "TrendyLogin".
#pragma once

// Shows the dialog with the name pre-filled. Non-zero with the name and
// password copied to the current user name and password; 0 on Cancel or an
// empty name. While it runs the current user name reads "default".
int ChooseLoginScript(const char* userName);
