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

#include <chrono>
#include <string>
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
  EXPECT_LT(ms, 50.0);
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

}  // namespace
