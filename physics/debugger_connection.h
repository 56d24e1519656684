// The visual-debugger stream: a non-blocking TCP connection to a local listener (10 ms wait, silent
// when nobody listens) that receives one JSON line per physics step.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t kDebuggerPort = 5425;

class DebuggerConnection {
 public:
  DebuggerConnection() = default;
  // Finishes the stream (see finish()).
  ~DebuggerConnection();
  DebuggerConnection(const DebuggerConnection&) = delete;
  DebuggerConnection& operator=(const DebuggerConnection&) = delete;

  // Tries 127.0.0.1:port for at most timeoutMs; true when connected.
  bool connect(uint16_t port = kDebuggerPort, int timeoutMs = 10);
  bool connected() const { return fd_ >= 0; }
  // Queues the line plus '\n' and sends what the socket takes without waiting. A line that does not
  // fit the queue (a listener slower than the game) is dropped whole and counted; a peer that went
  // away closes the connection quietly.
  void sendLine(const std::string& line);
  // At exit: waits at most maxWaitMs for the queue to go out, then drops the whole lines left and
  // closes. Says on standard error how many lines were dropped, if any. Returns that count.
  long finish(int maxWaitMs = 1000);
  // Closes at once, dropping what is queued.
  void close();

  long droppedLines() const { return dropped_; }

 private:
  // Sends from the queue until it is empty or the socket would block; false when the peer is gone.
  bool pump();

  int fd_ = -1;
  std::string pending_;   // bytes of whole lines not yet taken by the socket
  bool midLine_ = false;  // the socket took part of pending_'s first line
  long dropped_ = 0;
};
