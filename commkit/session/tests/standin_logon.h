// The login script body that answers the stand-in host's prompts ("Host
// Name:", "User ID:", "Password:"), shared by the tests that log on to it over
// the simulated line and over loopback TCP. Each test puts its own comment
// lines in front.
#pragma once

constexpr char kStandInLogonBody[] =
    "on cancel goto cancelled;\n"
    "init %Port, %BaudRate;\n"
    "if %_init = 0 goto failed;\n"
    "wait \"Host Name:\" goto host until 100;\n"
    "goto failed;\n"
    "host:\n"
    "send \"DVN^M\";\n"
    "wait \"User ID:\" goto user until 100;\n"
    "goto failed;\n"
    "user:\n"
    "send %UserID & \"^M\";\n"
    "wait \"Password:\" goto password until 100;\n"
    "goto failed;\n"
    "password:\n"
    "send %Password & \"^M\";\n"
    "exit %Success;\n"
    "failed:\n"
    "%FailureMsg = \"The host did not answer\";\n"
    "exit %Failure;\n"
    "cancelled:\n"
    "exit %Cancel;\n";
