// The winsock line's row of the driver table, its exports and its seam.
#pragma once
#include "../commkit.h"

extern const struct PortDriverRow g_winsockDriver;

// How a host name becomes addresses (IPv4, network order); the default asks
// winsock without blocking, within three times the connect time-out. Tests
// give a host more than one address with it.
struct WinsockHooks {
  int (*resolve)(PortObject* port, const char* name, uint32_t* addresses, int maximum);
};
extern WinsockHooks g_winsockHooks;
extern const WinsockHooks kDefaultWinsockHooks;

extern "C" {
int ZRTAPI WinsockGetHostName(PortObject* port, char* buffer);        // 1128
int ZRTAPI WinsockErrorId(int id);                                    // 1129
int ZRTAPI WinsockPeerIsServiceHost(PortObject* port, char* buffer);  // 1130
}
