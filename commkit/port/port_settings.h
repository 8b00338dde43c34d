// The line settings record exchanged with the client and stored by the
// settings layer: portable, so the session's logic builds natively.
#pragma once
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// Its offsets are fixed.
struct PortSettings {
  char portName[81];
  char parityName[11];
  int32_t speed;
  int32_t dataBits;
  int32_t stopBits;
  int32_t flowControl;
  int32_t carrierDetect;
  int32_t carrierWatch;
  int32_t portIndex;
  int32_t parityIndex;
  uint8_t unused1[43];
  char hostName[257];
  char hostAddress[16];
  char winsockDescription[257];
  uint8_t connectTimeout;
  uint16_t tcpPort;
  char tapiNumber[81];
  char tapiDialable[81];
  int32_t tapiLineId;
  uint8_t unused2[256];
  int32_t connectMethod;
  char dunEntry[81];
  int32_t dialTapiThroughDun;
};
#pragma pack(pop)
static_assert(sizeof(PortSettings) == 1211);
static_assert(offsetof(PortSettings, parityName) == 81);
static_assert(offsetof(PortSettings, speed) == 92);
static_assert(offsetof(PortSettings, dataBits) == 96);
static_assert(offsetof(PortSettings, stopBits) == 100);
static_assert(offsetof(PortSettings, flowControl) == 104);
static_assert(offsetof(PortSettings, carrierDetect) == 108);
static_assert(offsetof(PortSettings, carrierWatch) == 112);
static_assert(offsetof(PortSettings, portIndex) == 116);
static_assert(offsetof(PortSettings, parityIndex) == 120);
static_assert(offsetof(PortSettings, hostName) == 167);
static_assert(offsetof(PortSettings, hostAddress) == 424);
static_assert(offsetof(PortSettings, winsockDescription) == 440);
static_assert(offsetof(PortSettings, connectTimeout) == 697);
static_assert(offsetof(PortSettings, tcpPort) == 698);
static_assert(offsetof(PortSettings, tapiNumber) == 700);
static_assert(offsetof(PortSettings, tapiDialable) == 781);
static_assert(offsetof(PortSettings, tapiLineId) == 862);
static_assert(offsetof(PortSettings, connectMethod) == 1122);
static_assert(offsetof(PortSettings, dunEntry) == 1126);
static_assert(offsetof(PortSettings, dialTapiThroughDun) == 1207);
