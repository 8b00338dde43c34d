// Serial lines COM1 to COM8 through the Win32 communications functions; the
// same row drives a line whose handle telephony or dial-up networking gave us.
#include "port.h"

#include <stdio.h>

namespace {
constexpr DWORD kQueueSize = 4096;

bool HasExternalHandle(const PortObject* port) {
  return port->externalCommHandle != INVALID_HANDLE_VALUE && port->externalCommHandle != nullptr;
}

// Lines that came from telephony or an outside handle are opened overlapped.
bool Overlapped(const PortObject* port) {
  return port->settings.portIndex == kPortIndexTelephony || HasExternalHandle(port);
}

// Windows says "access denied" for a line that another holds; some systems
// report the same as a sharing violation.
bool InUse(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

void DeviceName(int index, char* name, size_t size) { FormatBounded(name, size, "\\\\.\\COM%d", index + 1); }

void ApplyFlow(DCB& dcb, int32_t flow) {
  bool xonXoff = flow == 1 || flow == 3;
  bool cts = flow == 2 || flow == 3;
  dcb.fOutX = xonXoff;
  dcb.fInX = xonXoff;
  dcb.fOutxCtsFlow = cts;
}

int SerialSetup(PortObject* port, int32_t speed, int32_t dataBits, const char*, int32_t stopBits, int32_t flow,
                int32_t) {
  if (HasExternalHandle(port)) return 1;
  HANDLE line = port->handle;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(line, &dcb)) return 0;
  SetupComm(line, kQueueSize, kQueueSize);
  dcb.BaudRate = DWORD(speed);
  dcb.ByteSize = BYTE(dataBits);
  dcb.Parity = BYTE(port->settings.parityIndex);
  dcb.fParity = port->settings.parityIndex != 0;
  dcb.StopBits = BYTE(stopBits);
  ApplyFlow(dcb, flow);
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  dcb.XonLim = 1024;
  dcb.XoffLim = 3072;
  return SetCommState(line, &dcb) ? 1 : 0;
}

void ReadReturnsAtOnce(HANDLE line, bool writesToo) {
  COMMTIMEOUTS timeouts = {};
  GetCommTimeouts(line, &timeouts);
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  if (writesToo) {
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 5000;
  }
  SetCommTimeouts(line, &timeouts);
}

int SerialOpen(PortObject* port, const char*, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits,
               int32_t flow, int32_t carrier) {
  int index = port->settings.portIndex;
  if (HasExternalHandle(port)) {
    port->handle = port->externalCommHandle;
  } else if (index == kPortIndexTelephony) {
    // Telephony calls are placed by the TAPI layer, which is not part of
    // this library: without a handle from it the line cannot open.
    port->error = port->tapiUserAbort ? kErrUserAbort : kErrTapi;
    return 0;
  } else {
    char name[16];
    DeviceName(index, name, sizeof name);
    HANDLE line =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (line == INVALID_HANDLE_VALUE) {
      port->error = InUse(GetLastError()) ? kErrPortInUse : kErrInvalidPortName;
      return 0;
    }
    port->handle = line;
    ReadReturnsAtOnce(line, true);
    if (!SerialSetup(port, speed, dataBits, parity, stopBits, flow, carrier)) {
      CloseHandle(line);
      port->handle = INVALID_HANDLE_VALUE;
      port->error = kErrInvalidPortName;
      return 0;
    }
    return 1;
  }
  ReadReturnsAtOnce(port->handle, false);
  return SerialSetup(port, speed, dataBits, parity, stopBits, flow, carrier);
}

void SerialClose(PortObject* port) {
  if (HasExternalHandle(port)) return;
  if (port->settings.portIndex == kPortIndexTelephony) return;
  HANDLE line = port->handle;
  PurgeComm(line, PURGE_TXCLEAR | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_RXABORT);
  EscapeCommFunction(line, CLRDTR);
  EscapeCommFunction(line, CLRRTS);
  EscapeCommFunction(line, RESETDEV);
  CloseHandle(line);
}

int SerialProbe(PortObject* port, int index) {
  if (index >= 0 && index < 8) {
    char name[16];
    DeviceName(index, name, sizeof name);
    HANDLE line =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (line != INVALID_HANDLE_VALUE) {
      CloseHandle(line);
      return 1;
    }
    return InUse(GetLastError());
  }
  if (index == kPortIndexTelephony) return port && HasExternalHandle(port);
  return 0;
}

uint16_t SerialModemStatus(PortObject* port) {
  DWORD status = 0;
  if (!GetCommModemStatus(port->handle, &status)) return 0;
  return (status & MS_RLSD_ON) ? 2 : 0;
}

void ClearDeviceError(HANDLE line) {
  DWORD errors = 0;
  COMSTAT state;
  ClearCommError(line, &errors, &state);
}

uint16_t OverlappedTransfer(PortObject* port, void* buffer, uint16_t count, bool writing) {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!overlapped.hEvent) return 0;
  DWORD moved = 0;
  BOOL done = writing ? WriteFile(port->handle, buffer, count, &moved, &overlapped)
                      : ReadFile(port->handle, buffer, count, &moved, &overlapped);
  if (!done) {
    if (GetLastError() == ERROR_IO_PENDING) {
      if (!GetOverlappedResult(port->handle, &overlapped, &moved, TRUE)) {
        ClearDeviceError(port->handle);
        port->error = writing ? kErrSending : kErrReceiving;
      }
    } else {
      ClearDeviceError(port->handle);
      if (writing || moved) port->error = writing ? kErrSending : kErrReceiving;
    }
  }
  CloseHandle(overlapped.hEvent);
  return uint16_t(moved);
}

uint16_t SerialWrite(PortObject* port, const void* buffer, uint16_t count) {
  if (Overlapped(port)) return OverlappedTransfer(port, const_cast<void*>(buffer), count, true);
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  uint16_t written = 0;
  while (written < count) {
    DWORD put = 0;
    if (!WriteFile(port->handle, bytes + written, count - written, &put, nullptr)) {
      DWORD errors = 0;
      COMSTAT state;
      ClearCommError(port->handle, &errors, &state);
      if (errors != CE_TXFULL) {
        port->error = kErrSending;
        return uint16_t(written + put);
      }
    }
    if (put == 0 && written < count && port->error == 0) {
      // The line took nothing within its write time-out: a stuck line must
      // not hold the caller for ever.
      DWORD errors = 0;
      COMSTAT state;
      if (ClearCommError(port->handle, &errors, &state) && state.cbOutQue == 0) {
        port->error = kErrSending;
        return written;
      }
    }
    written = uint16_t(written + put);
    PortSendKeepAlive(port);
    if (written < count) WaitYield();
  }
  return written;
}

uint16_t SerialRead(PortObject* port, void* buffer, uint16_t maximum) {
  uint16_t got;
  if (Overlapped(port)) {
    got = OverlappedTransfer(port, buffer, maximum, false);
  } else {
    DWORD read = 0;
    if (!ReadFile(port->handle, buffer, maximum, &read, nullptr)) {
      ClearDeviceError(port->handle);
      if (read) port->error = kErrReceiving;
    }
    got = uint16_t(read);
  }
  PortSendKeepAlive(port);
  return got;
}

void SerialBreak(PortObject* port) {
  SetCommBreak(port->handle);
  uint32_t deadline = TimeoutStart(5);
  while (!TimeoutPassed(deadline)) {
    PortSendKeepAlive(port);
    WaitYield();
  }
  ClearCommBreak(port->handle);
}

void SerialSetFlow(PortObject* port, int32_t flow) {
  if (port->handle == INVALID_HANDLE_VALUE) return;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port->handle, &dcb)) return;
  ApplyFlow(dcb, flow);
  SetCommState(port->handle, &dcb);
}

int SerialDetach(PortObject*, int) { return 1; }

void SerialPurge(PortObject* port, int mode) {
  if (mode & 1) PurgeComm(port->handle, PURGE_TXCLEAR);
  if (mode & 2) PurgeComm(port->handle, PURGE_RXCLEAR);
}
}  // namespace

const PortDriverRow g_serialDriver = {
    SerialOpen, SerialClose, SerialProbe,   SerialSetup,  SerialModemStatus, SerialWrite,
    SerialRead, SerialBreak, SerialSetFlow, SerialDetach, SerialPurge,
};
