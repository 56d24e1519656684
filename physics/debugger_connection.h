// The visual-debugger stream: a non-blocking TCP connection to a local listener (10 ms wait, silent
// when nobody listens) that receives one JSON line per physics step.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t kDebuggerPort = 5425;

class DebuggerConnection {
 public:
  DebuggerConnection() = default;
  ~DebuggerConnection();
  DebuggerConnection(const DebuggerConnection&) = delete;
  DebuggerConnection& operator=(const DebuggerConnection&) = delete;

  // Tries 127.0.0.1:port for at most timeoutMs; true when connected.
  bool connect(uint16_t port = kDebuggerPort, int timeoutMs = 10);
  bool connected() const { return fd_ >= 0; }
  // Sends the line plus '\n'; a peer that went away closes the connection quietly.
  void sendLine(const std::string& line);
  void close();

 private:
  int fd_ = -1;
  std::string pending_;  // bytes of whole lines not yet taken by the socket
};
