// The visual-debugger stream: silent and quick with nobody listening, whole JSON lines otherwise.
#include "physics/physics_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// A listening socket on a free local port.
struct Listener {
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    listen(fd, 1);
  }
  ~Listener() {
    if (peer >= 0) close(peer);
    close(fd);
  }
  // Reads until `count` lines arrived or a second passed.
  std::vector<std::string> readLines(size_t count) {
    std::string data;
    std::vector<std::string> lines;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (lines.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd p{peer, POLLIN, 0};
      if (poll(&p, 1, 50) != 1) continue;
      char buffer[4096];
      const ssize_t n = recv(peer, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      data.append(buffer, static_cast<size_t>(n));
      for (size_t at; (at = data.find('\n')) != std::string::npos; data.erase(0, at + 1))
        lines.push_back(data.substr(0, at));
    }
    return lines;
  }
  int fd = -1;
  int peer = -1;
  uint16_t port = 0;
};

TEST(DebuggerConnection, ReturnsAtOnceWhenNobodyListens) {
  uint16_t port;
  {
    Listener closed;  // a port known to be free once the listener is gone
    port = closed.port;
  }
  const auto start = std::chrono::steady_clock::now();
  PhysicsWorld world(PhysicsWorldOptions{true, port});
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(world.debuggerConnected());
  // A refused connection returns at once; a blocking connect would take the system's seconds-long
  // timeout. The bound leaves room for a loaded machine.
  EXPECT_LT(ms, 500.0);
  world.step(1.0f / 60);  // stepping without a debugger is silent
}

TEST(DebuggerConnection, ListenerReceivesOneWellFormedLinePerStep) {
  Listener listener;
  PhysicsWorld world(PhysicsWorldOptions{true, listener.port});
  ASSERT_TRUE(world.debuggerConnected());
  listener.peer = accept(listener.fd, nullptr, nullptr);
  ASSERT_GE(listener.peer, 0);

  ShapeInfo info;
  btRigidBody* body = world.createDynamicBody(
      makeSharedShape(std::make_unique<btBoxShape>(btVector3(1, 1, 1)), info),
      btTransform(btQuaternion::getIdentity(), btVector3(1, 5, -2)), 1, btVector3(1, 1, 1));
  world.addObject(body);
  // A vehicle reading gone bad must still give lines every JSON reader accepts.
  world.setDebugExtra([] {
    return nlohmann::ordered_json{{"speed", 12.5}, {"gear", 2}, {"omega", std::nanf("")}};
  });
  for (int i = 0; i < 3; ++i) world.step(1.0f / 60);

  const std::vector<std::string> lines = listener.readLines(3);
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    ASSERT_TRUE(nlohmann::json::accept(lines[i]));
    EXPECT_EQ(lines[i].rfind("{\"step\":" + std::to_string(i + 1) + ",\"dt\":", 0), 0u) << "fields in order";
    const nlohmann::json line = nlohmann::json::parse(lines[i]);
    EXPECT_FLOAT_EQ(line["dt"].get<float>(), 1.0f / 60);
    ASSERT_EQ(line["bodies"].size(), 1u);
    EXPECT_EQ(line["bodies"][0]["kind"], "dynamic");
    EXPECT_EQ(line["bodies"][0]["enabled"], true);
    EXPECT_EQ(line["bodies"][0]["q"].size(), 4u);
    EXPECT_EQ(line["vehicle"]["speed"], 12.5);
    EXPECT_EQ(line["vehicle"]["gear"], 2);
    EXPECT_TRUE(line["vehicle"]["omega"].is_null());
  }
  EXPECT_EQ(nlohmann::json::parse(lines[0])["bodies"][0]["p"][0], 1.0);

  // The listener going away must not take the game down (no SIGPIPE) and ends the stream.
  close(listener.peer);
  listener.peer = -1;
  for (int i = 0; i < 20 && world.debuggerConnected(); ++i) world.step(1.0f / 60);
  EXPECT_FALSE(world.debuggerConnected());
}

TEST(DebuggerConnection, ASlowListenerGetsOnlyWholeLinesAndTheRestIsCountedAfterABoundedWait) {
  Listener listener;
  // A small receive window, so the game's queue fills instead of the kernel's buffers.
  const int window = 4096;
  setsockopt(listener.fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
  DebuggerConnection connection;
  ASSERT_TRUE(connection.connect(listener.port, 100));
  listener.peer = accept(listener.fd, nullptr, nullptr);
  ASSERT_GE(listener.peer, 0);
  // The listener reads about 400 kB/s until the game has finished, then the rest at once.
  std::string received;
  std::atomic<bool> finished{false};
  std::thread reader([&] {
    char buffer[2048];
    for (;;) {
      const ssize_t n = recv(listener.peer, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      received.append(buffer, static_cast<size_t>(n));
      if (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  constexpr long kLines = 4000;  // about 4 MB, four times the queue
  const std::string padding(1000, 'x');
  for (long i = 1; i <= kLines; ++i)
    connection.sendLine("{\"step\":" + std::to_string(i) + ",\"pad\":\"" + padding + "\"}");
  testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  const long dropped = connection.finish();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string told = testing::internal::GetCapturedStderr();
  finished = true;
  reader.join();

  EXPECT_LE(seconds, 1.1);
  EXPECT_FALSE(connection.connected());
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.back(), '\n') << "the stream ends on a line end";
  long lines = 0, lastStep = 0;
  for (size_t at = 0, end; (end = received.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
    const std::string line = received.substr(at, end - at);
    ASSERT_TRUE(nlohmann::json::accept(line) && line.rfind("{\"step\":", 0) == 0) << "line " << lines + 1;
    const long step = std::stol(line.substr(8));
    ASSERT_GT(step, lastStep) << "in order, none twice";
    lastStep = step;
  }
  EXPECT_GT(dropped, 0);
  EXPECT_EQ(lines + dropped, kLines) << "every line arrived whole or was counted";
  EXPECT_EQ(told, "ruvelo: physics debugger: " + std::to_string(dropped) +
                      " lines dropped, the listener did not keep up\n");
}

}  // namespace
