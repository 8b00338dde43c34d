// The texts of the session's and the login scripts' numbers: the toolbox's
// string table when the system gives one, else these.
#include <cstring>

#include "commkit/bp/bp_system.h"
#include "commkit/session/script.h"

namespace {
struct Text {
  unsigned id;
  const char* text;
};
const Text kTexts[] = {
    {768, "Out of memory"},
    {769, "QVX error"},
    {770, "CAP not supported"},
    {771, "Host did not initiate protocol"},
    {772, "Invalid ESC-I sequence supplied"},
    {773, "Comm port failed"},
    {774, "Invalid script file specified"},
    {776, "Variable is not a string"},
    {777, "Variable is not an integer"},
    {778, "Invalid character encountered"},
    {779, "No variable lists found"},
    {780, "Bad symbol list encountered"},
    {781, "Invalid comm port specified"},
    {782, "Could not connect"},
    {784, "Could not read script file"},
    {785, "Script error"},
    {786, "Unknown variable"},
    {787, "Script expression is invalid"},
    {788, "Specified .INI file is invalid"},
    {790, "Specified primary network is invalid"},
    {792, "Missing account id or password"},
    {793, "Invalid parameters specified"},
    {794, "User ID needed"},
    {795, "Password needed"},
    {796, "OTL Password needed"},
    {797, "OTL Mailbox needed"},
    {798, "OTL mailbox password needed"},
    {799, "Could not set comm port"},
    {813, "%Success"},
    {814, "%Failure"},
    {815, "%Cancel"},
    {816, "%FailureMsg"},
    {817, "%UserID"},
    {818, "%Password"},
    {819, "%BaudRate"},
    {820, "%Port"},
    {821, "%Phone"},
    {822, "%AlternatePhone"},
    {823, "%Network"},
    {824, "%Retry"},
    {825, "%DialType"},
    {826, "%Connected"},
    {827, "%mdm_Prefix"},
    {828, "%mdm_Reset"},
    {829, "%mdm_Tone_Dial"},
    {830, "%mdm_Pulse_Dial"},
    {831, "%mdm_Hangup"},
    {832, "%mdm_Suffix"},
    {833, "%mdm_EscapeCode"},
    {834, "%mdm_Ack"},
    {835, "%mdm_Success"},
    {836, "%mdm_Failure"},
    {837, "%mdm_Speaker"},
    {838, "%mdm_Init"},
    {839, "%mdm_UserID"},
    {840, "%mdm_Password"},
    {841, "%LogonParams"},
    {842, "%Dir"},
    {843, "%Fatal"},
    {844, "%ESCIResponse"},
    {845, "%LogFile"},
    {846, "Disconnecting from Dravenet"},
    {847, "Hanging up modem..."},
    {848, "Trying alternate settings..."},
    {849, "Direct"},
    {850, "Logging onto Dravenet . . ."},
    {851, "%mdm_ECOn"},
    {852, "%mdm_DCOn"},
    {853, "%X121Address"},
    {854, "%MicroChallenge"},
    {855, "%PPP"},
    {856, "%App"},
    {973, "Identifier is already defined"},
    {974, "Gosub stack underflow"},
    {975, "Found %s at start of statement"},
    {976, "Label %s not found"},
    {977, "Invalid variable"},
    {978, "Expecting global symbol"},
    {979, "Gosub stack overflow"},
    {980, "Invalid label"},
    {981, "Invalid script name"},
    {982, "Incompatible operand"},
    {983, "Too many patterns in wait statement"},
    {984, "Expecting string constant or symbol"},
    {985, "Invalid wait pattern"},
    {986, "Invalid expression"},
    {987, "Invalid operand"},
    {988, "Found %s when expecting primary"},
    {989, "Invalid character"},
    {990, "Error in %s at line %u: %s"},
    {991, "Found %s when expecting %s"},
    {998, "Please enter your Dravenet account number"},
    {999, "Please enter your Dravenet account password"},
    {1000, "Please enter the Ostrel PPN's password"},
    {1001, "Please enter your Ostrel address"},
    {1002, "Please enter your individual Ostrel password"},
};
}  // namespace

std::string ScriptText(unsigned id) {
  char buffer[256] = {};
  if (BpSys().loadText && BpSys().loadText(id, buffer, sizeof buffer) > 0) return buffer;
  for (const Text& t : kTexts)
    if (t.id == id) return t.text;
  return std::string();
}
