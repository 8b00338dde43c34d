#include "shell/toolbar_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const int kDefaultToolbarButtons[] = {1182, 1257, 1103, 1257, 1188, 1257, 1168, 1205, 1134, 1257,
                                      1002, 1257, 1148, 1257, 1159, 1257, 1145, 1257, 0};

namespace {
const int kRetiredIds[] = {1100, 1102, 1104, 1105, 1106, 1107, 1108, 1110, 1112, 1116, 1121, 1136, 1167, 1197, 1204,
                           1207, 1211, 1212, 1213, 1214, 1216, 1232, 1234, 1251, 1252, 1253, 1254, 1256, 1258, 1313,
                           1320, 1329, 1336, 1338, 1339, 1342, 1453, 1470, 1693, 1694, 1695, 1696, 1697, 1698, 1699,
                           1701, 1702, 1703, 1704, 1705, 1706, 1707, 1708, 1709, 1731, 1738, 1739, 1765, 1782};
static_assert(sizeof kRetiredIds / sizeof kRetiredIds[0] == 59);
}  // namespace

bool IsRetiredToolbarId(int id) {
  for (int retired : kRetiredIds)
    if (retired == id) return true;
  return false;
}

int CurrentToolbarId(int id) {
  if (id == 1191) return 1147;
  if (id == 1192) return 1188;
  return id;
}

void ParseToolbarButtons(const char* value, int* list) {
  int n = 0;
  if (!value || !*value) {
    for (; kDefaultToolbarButtons[n]; ++n) list[n] = kDefaultToolbarButtons[n];
    list[n] = 0;
    return;
  }
  // One row stays free for a closing separator and one for the end mark.
  const int keep = TOOLBAR_MAX_ROWS - 2;
  const char* p = value;
  while (*p) {
    char* end = nullptr;
    long number = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;  // not a number: skip the character
      continue;
    }
    p = end;
    int id = CurrentToolbarId(static_cast<int>(number));
    if (id <= 0 || IsRetiredToolbarId(id)) continue;
    if (n < keep) list[n++] = id;
  }
  if (n == 0 || list[n - 1] != TOOLBAR_SEPARATOR) list[n++] = TOOLBAR_SEPARATOR;
  list[n] = 0;
}

void FormatToolbarButtons(const int* list, char* out, size_t outSize) {
  if (!outSize) return;
  size_t used = 0;
  out[0] = 0;
  for (int i = 0; i < TOOLBAR_MAX_ROWS && list[i]; ++i) {
    char number[16];
    int len = std::snprintf(number, sizeof number, "%u ", static_cast<unsigned>(list[i]));
    if (used + len >= outSize) break;
    std::memcpy(out + used, number, len + 1);
    used += len;
  }
  if (used && out[used - 1] == ' ') out[--used] = 0;
}

int LayoutToolbarButtons(const int* list, const ToolbarLayoutOptions& options, ToolbarRect* rects) {
  int x = options.vertical ? 3 : 4;
  int y = options.newShell ? 4 : 3;
  const int width = options.large ? 30 : 24;
  const int height = options.large ? 31 : 22;
  int n = 0;
  for (; n < TOOLBAR_MAX_ROWS && list[n]; ++n) {
    bool separator = list[n] == TOOLBAR_SEPARATOR;
    int w = separator ? 12 : width;
    int h = separator ? 12 : height;
    rects[n] = {x, y, x + w, y + h};
    if (options.vertical)
      y += separator ? 11 : height;
    else
      x += w;
  }
  return n;
}

namespace {
struct GlyphRow {
  int id;
  const char* name;
};
// Command id to bitmap resource name; the large form is "l" and the name.
const GlyphRow kGlyphs[] = {
    {1147, "tfile"},    {1188, "tprint"},   {1454, "tclose"},   {1995, "tproxy"},   {1468, "tcfgprin"},
    {1172, "tmark"},    {1003, "timport"},  {1141, "trun"},     {1143, "tnotes"},   {1996, "tsaveb"},
    {1120, "topenb"},   {1145, "texit"},    {1240, "tundo"},    {1316, "tcut"},     {1137, "tcopy"},
    {1317, "tpaste"},   {1875, "tpasteln"}, {2010, "tpasteq"},  {1318, "tclear"},   {1319, "tselall"},
    {1148, "tfind"},    {1238, "tfindn"},   {1343, "tmfm"},     {1215, "tsig"},     {1487, "tedres"},
    {1767, "tfave"},    {1225, "tignore"},  {1224, "tkeep"},    {1223, "tdelete"},  {1872, "treadloc"},
    {1149, "tfixed"},   {1719, "ttoghead"}, {1999, "tsource"},  {1200, "tresumes"}, {1691, "tshflist"},
    {1167, "treg"},     {1324, "tstats"},   {1163, "tmbw"},     {1181, "tnext"},    {1186, "tprev"},
    {1732, "tshmenu"},  {1733, "tfumenu"},  {1788, "tthread"},  {1789, "troot"},    {1790, "tcron"},
    {1791, "tbunr"},    {1792, "tcronb"},   {1134, "tcomment"}, {1205, "tsay"},     {1157, "tfull"},
    {1236, "twithdra"}, {1185, "torig"},    {1182, "tnextunr"}, {1174, "tmarkrd"},  {1176, "tmarkunr"},
    {1469, "tbacktra"}, {1766, "tslib"},    {1140, "tfdl"},     {1230, "tful"},     {1177, "tmodfli"},
    {1175, "tmarktop"}, {1158, "tgoto"},    {1341, "treattac"}, {1476, "tat"},      {1002, "taddr"},
    {1168, "tmail"},    {1769, "trepmai"},  {1121, "tclrmail"}, {1146, "tfax"},     {1717, "tforward"},
    {1231, "tvconfs"},  {1203, "trjoin"},   {1219, "tbmk"},     {1111, "tbmknext"}, {1241, "t1"},
    {1242, "t2"},       {1243, "t3"},       {1244, "t4"},       {1245, "t5"},       {1246, "t6"},
    {1247, "t7"},       {1248, "t8"},       {1249, "t9"},       {1250, "t10"},      {1109, "tbmkman"},
    {1700, "taddnew"},  {1004, "ttools"},   {1259, "tlek"},     {1260, "tlplay"},   {1261, "tlload"},
    {1262, "tlsave"},   {1263, "tlstartu"}, {1101, "tadmin"},   {1184, "tnoadmin"}, {1201, "treview"},
    {1103, "tconnect"}, {1888, "tconnall"}, {1235, "twho"},     {1115, "tbroad"},   {1692, "toptions"},
    {1135, "tcommcfg"}, {1117, "tbuild"},   {1189, "tprune"},   {1196, "trecon"},   {1210, "tsetprun"},
    {1326, "tsched"},   {1144, "teduser"},  {1180, "tnserv"},   {1874, "tntopic"},  {1198, "tresign"},
    {7001, "ttile"},    {7002, "tcascade"}, {7004, "ticons"},   {7003, "tcloseal"}, {1159, "thelp"},
    {1335, "thlpsrch"}, {1768, "thlprd"},   {1160, "tusing"},   {2011, "tsupport"}, {1001, "tabout"},
    {1488, "ttotd"},    {1179, "tpgup"},    {1178, "tpgdn"},    {1477, "tfave1"},   {1478, "tfave2"},
    {1479, "tfave3"},   {1480, "tfave4"},   {1481, "tfave5"},   {1482, "tfave6"},   {1483, "tfave7"},
    {1484, "tfave8"},   {1485, "tfave9"},   {1486, "tfave10"},  {1876, "tsend1"},   {1877, "tsend2"},
    {1878, "tsend3"},   {1879, "tsend4"},   {1880, "tsend5"},   {1881, "tsend6"},   {1882, "tsend7"},
    {1883, "tsend8"},   {1884, "tsend9"},   {1885, "tsend0"},   {1886, "tsendany"}, {1859, "tstart1"},
    {1860, "tstart2"},  {1861, "tstart3"},  {1862, "tstart4"},  {1863, "tstart5"},  {1864, "tstart6"},
    {1865, "tstart7"},  {1866, "tstart8"},  {1867, "tstart9"},  {1868, "tstart0"},  {1315, "tesaveas"},
    {1166, "tereadus"}, {3018, "teinclud"}, {1312, "teread"},   {1449, "tspell"},   {1764, "tpgp"},
    {1715, "tedwrap"},  {1472, "trefresh"}, {1794, "teffect"},  {1162, "tigclear"}, {1334, "tigdel"},
    {1721, "tkills"},   {1856, "tkilla"},   {1857, "tgets"},    {1858, "tgeta"},    {1997, "tmoves"},
    {1998, "tmovea"},   {1723, "tstartsc"}, {1724, "troute"},   {1730, "trepsend"}, {1729, "trepall"},
    {1734, "tzthr"},    {1735, "tzmess"},   {1736, "tznorm"},   {1740, "txmodss"},  {1741, "txhold"},
    {1742, "txfmb1"},   {1743, "txfmbnew"}, {1744, "txfma"},    {1257, "tblank"},   {0, ""},
};
}  // namespace

const char* ToolbarGlyphName(int id) {
  for (const GlyphRow* row = kGlyphs; row->name[0]; ++row)
    if (row->id == id) return row->name;
  return "tspare";
}

int ToolbarGlyphIds(int* out, int size) {
  int n = 0;
  for (const GlyphRow* row = kGlyphs; row->name[0] && n < size; ++row) out[n++] = row->id;
  return n;
}
