#include "app/run_game.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "app/app_state.h"
#include "app/follow_direction.h"
#include "app/frame_stats.h"
#include "app/game.h"
#include "app/game_rules.h"
#include "app/input.h"
#include "app/scene.h"
#include "app/scripted_input.h"
#include "app/settings.h"
#include "app/window.h"
#include "level/level_layout.h"
#include "passes/frustum.h"
#include "passes/gpu_timer.h"
#include "passes/hud.h"
#include "passes/particle_system.h"
#include "passes/post_process.h"
#include "passes/shadow_map.h"
#include "passes/skybox.h"
#include "passes/text_renderer.h"
#include "physics/game_world.h"

namespace ruvelo {
namespace {

constexpr const char* kSettingsPath = "../assets/settings.txt";
constexpr unsigned kSnowParticles = 2000;
constexpr float kSnowPerSecond = 425.0f;

// Terminates GLFW on every path out of the run.
struct GlfwSession {
  ~GlfwSession() { glfwTerminate(); }
};

// What the GLFW callbacks reach through the window's user pointer.
struct CallbackContext {
  AppState* state = nullptr;
};

void applyKeyEffect(GLFWwindow* window, KeyEffect effect) {
  switch (effect) {
    case KeyEffect::Close:
      glfwSetWindowShouldClose(window, GLFW_TRUE);
      break;
    case KeyEffect::PolygonLine:
      glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      break;
    case KeyEffect::PolygonFill:
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      break;
    case KeyEffect::EnableCulling:
      glEnable(GL_CULL_FACE);
      break;
    case KeyEffect::DisableCulling:
      glDisable(GL_CULL_FACE);
      break;
    case KeyEffect::None:
      break;
  }
}

void handleKey(GLFWwindow* window, int key, int action) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  applyKeyEffect(window, onKeyEvent(*context->state, key, action, std::cout));
}

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  handleKey(window, key, action);
}

void onCursorPos(GLFWwindow* window, double x, double y) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  onCursorEvent(*context->state, x, y, glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS);
}

void onScroll(GLFWwindow* window, double /*xOffset*/, double yOffset) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  onScrollEvent(*context->state, yOffset);
}

int startupFailure(const char* what) {
  std::cout << "ERROR: " << what << std::endl;
  glfwTerminate();
  pauseIfInteractive();
  return 1;
}

// Keys held now, from the keyboard or from the input script.
class HeldKeys {
 public:
  HeldKeys(GLFWwindow* window, const ScriptedInput& script) : window_(window), script_(script) {}
  bool operator()(int key) const { return glfwGetKey(window_, key) == GLFW_PRESS || script_.isHeld(key); }

 private:
  GLFWwindow* window_;
  const ScriptedInput& script_;
};

// Resident memory of this process in MiB, from /proc (0 where it cannot be read).
double residentMiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      status >> kib;
      return kib / 1024.0;
    }
    status.ignore(4096, '\n');
  }
  return 0.0;
}

// CPU time of this thread in milliseconds: the frame's own work, without time spent blocked on the
// GL driver's rendering threads.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

// The vehicle's state for the debugger stream, as one JSON object.
std::string vehicleJson(const VehicleReading& vehicle) {
  std::ostringstream json;
  json << "{\"speed\":" << vehicle.speed << ",\"gear\":" << vehicle.gear << ",\"wheels\":[";
  for (size_t i = 0; i < vehicle.wheels.size(); ++i) {
    const WheelReading& wheel = vehicle.wheels[i];
    json << (i ? "," : "") << "{\"jounce\":" << wheel.jounce
         << ",\"inAir\":" << (wheel.inAir ? "true" : "false") << ",\"omega\":" << wheel.omega
         << ",\"load\":" << wheel.load << "}";
  }
  json << "]}";
  return json.str();
}

const char* phaseName(GamePhase phase) {
  switch (phase) {
    case GamePhase::Won:
      return "Won";
    case GamePhase::Lost:
      return "Lost";
    case GamePhase::Playing:
      break;
  }
  return "Playing";
}

}  // namespace

int runGame(const DevFlags& flags) {
  AppState state;  // the FPS text starts at "60", its accumulator at 0

  // Settings, before anything else exists.
  Settings settings;
  const SettingsResult read = readSettings(kSettingsPath, settings.width, settings.height,
                                           settings.refresh_rate, settings.fullscreen, settings.brightness);
  if (read.status == SettingsStatus::FileMissing) {
    std::cerr << read.message;
    return 1;
  }
  if (read.status == SettingsStatus::BadValue) {
    std::cerr << read.message << std::endl;
    return 1;
  }
  state.width = settings.width;
  state.height = settings.height;
  state.brightness = settings.brightness;

  // Window, GL context, callbacks and GL state.
  if (!initGlfw()) return startupFailure("Window creation failed");
  GlfwSession glfwSession;
  GLFWwindow* window = openWindow(settings);
  if (window == nullptr) return startupFailure("Window creation failed");
  if (!initGlew(window)) return startupFailure("Initialising GLEW failed");
  CallbackContext context{&state};
  glfwSetWindowUserPointer(window, &context);
  glfwSetKeyCallback(window, onKey);
  glfwSetCursorPosCallback(window, onCursorPos);
  glfwSetScrollCallback(window, onScroll);
  setInitialGlState();

  // Glyph table and text quad; the text projection.
  TextRenderer text(state.width, state.height);
  if (!text.loaded()) return -1;

  // Skybox, programs, materials and light, camera, models.
  Skybox skybox;
  const Programs programs = loadPrograms();
  programs.text->use();
  programs.text->setMat4("projMatrix", text.projection());
  const SceneMaterials materials =
      makeSceneMaterials(programs.phongPhong, programs.phong, programs.phongEnvironment);
  const std::shared_ptr<Light> light = makeSceneLight();
  state.camera.setPerspective(45.0f, static_cast<float>(state.width) / static_cast<float>(state.height), 0.1f,
                              1500.0f);
  SceneModels models = loadModels(materials);

  // The physics world: items and level mesh, callback, ground plane, slab, vehicle, actors.
  GameWorld::Failure failure = GameWorld::Failure::None;
  const std::unique_ptr<GameWorld> world =
      GameWorld::create(models.levelCollision->positions(), models.levelCollision->indices(), &failure);
  if (failure == GameWorld::Failure::LevelMesh) {
    std::cout << "ERROR: the level's collision mesh could not be built from level1PhysXFinal.obj"
              << std::endl;
    return 1;
  }
  if (!world) {
    std::cout << "ERROR: the vehicle could not be built" << std::endl;
    return 1;
  }
  world->setDebugExtra([&world]() { return vehicleJson(world->vehicleReading()); });

  // The game: rules, state and items.
  Game game;

  // Framebuffers and snow.
  ShadowMap shadowMap;
  PostProcess postProcess(state.width, state.height, programs.edgeDetect, programs.quad);
  ParticleSystem snow(programs.particles, kSnowParticles);

  glm::vec3 lastFollowDirection(0.0f, 0.0f, 1.0f);
  ScriptedInput script(flags.input);
  const HeldKeys held(window, script);
  GpuTimer gpu;
  auto timePass = [&](const char* name) {
    if (flags.bench) gpu.begin(name);
  };
  auto endPass = [&]() {
    if (flags.bench) gpu.end();
  };
  std::vector<double> frameTimes, cpuTimes, threadTimes;
  long frame = 0;
  // One frame's --bench samples: wall time to the swap, to just before it, and this thread's CPU.
  auto recordFrame = [&](std::chrono::steady_clock::time_point start,
                         std::chrono::steady_clock::time_point cpuEnd, double threadStart) {
    gpu.collect();
    const auto end = std::chrono::steady_clock::now();
    cpuTimes.push_back(std::chrono::duration<double, std::milli>(cpuEnd - start).count());
    frameTimes.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    threadTimes.push_back(threadCpuMs() - threadStart);
  };
  const double startupMiB = residentMiB();
  double earlyMiB = startupMiB;

  // The frame clock starts with the loop, so the first frame measures one frame, not the loading.
  state.lastFrame = static_cast<float>(glfwGetTime());
  while (!glfwWindowShouldClose(window)) {
    ++frame;
    const auto frameStart = std::chrono::steady_clock::now();
    const double threadStart = threadCpuMs();
    glEnable(GL_DEPTH_TEST);
    const double now = glfwGetTime();
    state.deltaTime = flags.fixedDt > 0.0f ? flags.fixedDt : static_cast<float>(now - state.lastFrame);
    state.lastFrame = static_cast<float>(now);
    const float dt = state.deltaTime;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    if (flags.benchFloor) {
      // The cost floor of a frame: clear the shadow map and the window, nothing else.
      timePass("floor");
      shadowMap.clearOnly();
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glViewport(0, 0, state.width, state.height);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      endPass();
      const auto cpuEnd = std::chrono::steady_clock::now();
      glfwSwapBuffers(window);
      recordFrame(frameStart, cpuEnd, threadStart);
      glfwPollEvents();
      if (flags.frames > 0 && frame >= flags.frames) glfwSetWindowShouldClose(window, GLFW_TRUE);
      continue;
    }

    // Shadow pass, in every phase: batteries spin first, cones at their physics poses.
    game.spinBatteries(dt);
    for (int i = 0; i < kBatteryCount; ++i)
      if (game.items()[batteryItem(i)].visible)
        models.batteries[i]->setModelMatrix(game.items()[batteryItem(i)].matrix);
    for (int i = 0; i < kConeCount; ++i) models.cones[i]->setModelMatrix(coneMatrix(world->conePose(i)));
    ShadowCasters casters;
    for (int i = 0; i < kZoneCount; ++i)
      if (game.items()[zoneItem(i)].visible) casters.zones.push_back(&*models.finishLines[i]);
    for (auto& cone : models.cones) casters.cones.push_back(&*cone);
    casters.ground = &*models.ground;
    for (int i = 0; i < kBatteryCount; ++i)
      if (game.items()[batteryItem(i)].visible) casters.batteries.push_back(&*models.batteries[i]);
    casters.level = &*models.level;
    timePass("shadow");
    shadowMap.renderDepthPass(*programs.simpleDepthShader, casters);
    endPass();

    postProcess.beginScene();

    if (game.playing()) {
      if (game.takeFirstPlayingFrame()) world->startPlay();

      // Physics: the inputs recorded last frame drive this step.
      const std::optional<ItemEvent> event = world->step(dt);

      // Trigger rules: a zone delivers a packet, a battery adds power; the item leaves the world.
      if (event && game.collect(*event, std::cout)) world->removeItem(event->item);

      // Driving keys for the next step, or the free camera in debug mode.
      if (state.debugMode) {
        moveFreeCamera(state.camera,
                       {held(GLFW_KEY_W), held(GLFW_KEY_S), held(GLFW_KEY_A), held(GLFW_KEY_D),
                        held(GLFW_KEY_SPACE), held(GLFW_KEY_LEFT_SHIFT)},
                       dt);
      } else {
        const DriveCommand command{held(GLFW_KEY_W), held(GLFW_KEY_A), held(GLFW_KEY_S),
                                   held(GLFW_KEY_D), held(GLFW_KEY_B), held(GLFW_KEY_SPACE)};
        const DriveResult result = world->drive(command);
        if (result.unflippedCleared) state.unflipped = false;
        if (result.unflippedSet) state.unflipped = true;
        game.drain(result.accelerateHeld, result.reverseHeld, world->vehiclePose().position.y, dt);
      }

      // Drawing matrices of the body and the four corner wheels.
      const Pose vehiclePose = world->vehiclePose();
      const glm::vec3 vehiclePosition = vehiclePose.position;
      models.car->setModelMatrix(vehicleBodyMatrix(vehiclePose));
      const glm::mat4 vehicleFrame = vehicleFrameMatrix(vehiclePose);
      std::array<glm::mat4, 4> wheelMatrices;
      const std::array<Pose, 4> wheelPoses = world->wheelPoses();
      for (int i = 0; i < 4; ++i) {
        wheelMatrices[i] = wheelMatrix(vehicleFrame, wheelPoses[i]);
        models.wheels[i]->setModelMatrix(wheelMatrices[i]);
      }

      // The frustum of the camera as it stands before this frame's update.
      const Frustum frustum(state.camera.viewMatrix, state.camera.projectionMatrix);
      state.objectsDrawn = 0;

      glfwPollEvents();
      script.deliver(frame, [&](int key, int action) { handleKey(window, key, action); });

      // Camera: free view in debug mode, else follow the vehicle.
      if (state.debugMode) {
        state.camera.updateFreeView();
      } else {
        const bool reversing = world->vehicleInReverse() && state.reverseMode;
        const glm::vec3 direction =
            followDirection(world->vehicleVelocity(), lastFollowDirection, reversing, state.unflipped);
        state.camera.follow(world->vehiclePose().position, direction, dt);
      }

      // Lit pass with culling, in the game's fixed order.
      timePass("lit");
      setCameraAndLightUniforms(light, *programs.phong, state.camera, state.brightness);
      shadowMap.bindForPhong(*programs.phong);
      setCameraAndLightUniforms(light, *programs.phongEnvironment, state.camera, state.brightness);
      shadowMap.bindForPhongEnvironment(*programs.phongEnvironment, skybox.cubeMap());
      const bool cull = state.viewFrustum;
      int& drawn = state.objectsDrawn;
      drawCulled(*models.car, frustum, vehiclePosition, cull, drawn);
      for (int i = 0; i < 4; ++i)
        drawCulled(*models.wheels[i], frustum, glm::vec3(wheelMatrices[i][3]), cull, drawn);
      for (int i = 0; i < kConeCount; ++i) {
        const Pose cone = world->conePose(i);
        models.cones[i]->setModelMatrix(coneMatrix(cone));
        drawCulled(*models.cones[i], frustum, cone.position, cull, drawn);
      }
      for (int i = 0; i < kBatteryCount; ++i)
        if (game.items()[batteryItem(i)].visible)
          drawCulled(*models.batteries[i], frustum, game.items()[batteryItem(i)].centre, cull, drawn);
      drawCulled(*models.level, frustum, glm::vec3(0.0f, 0.0f, 200.0f), cull, drawn);
      drawCulled(*models.ground, frustum, glm::vec3(0.0f, 0.5f, 0.0f), cull, drawn);
      setCameraAndLightUniforms(light, *programs.phongPhong, state.camera, state.brightness);
      shadowMap.bindForPhongPhong(*programs.phongPhong, skybox.cubeMap());
      for (int i = 0; i < kZoneCount; ++i)
        if (game.items()[zoneItem(i)].visible)
          drawCulled(*models.finishLines[i], frustum, game.items()[zoneItem(i)].centre, cull, drawn);
      endPass();

      game.updateTimerAndPhase(state.debugMode, state.winLoseCondition, dt);

      timePass("sky");
      skybox.draw(*programs.cubeMapShader, state.camera);
      endPass();
      timePass("edge");
      postProcess.edgePass();
      endPass();
      timePass("composite");
      postProcess.composite();
      endPass();

      // HUD values, refreshed even when the HUD is hidden.
      refreshFps(state.fpsAccumulator, state.fpsText, dt);
      const HudTexts hud = game.hudTexts(state.fpsText, state.objectsDrawn);
      if (state.showHud) {
        timePass("hud");
        drawHud(text, *programs.text, hud);
        endPass();
      }

      if (state.snow) {
        timePass("snow");
        const glm::vec3 p = world->vehiclePose().position;
        snow.update(static_cast<unsigned>(dt * kSnowPerSecond), glm::vec3(p.x, p.y + 10.0f, p.z),
                    world->vehicleVelocity(), dt);
        snow.draw(state.camera);
        endPass();
      }
    } else {
      // Result screen: the sky and one line.
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glfwPollEvents();
      script.deliver(frame, [&](int key, int action) { handleKey(window, key, action); });
      skybox.draw(*programs.cubeMapShader, state.camera);
      drawTextLine(text, *programs.text, endScreenLine(resultText(game.state().phase)));
    }

    for (const Screenshot& shot : flags.screenshots) {
      if (shot.frame == frame && !writeBackBufferPng(shot.path, state.width, state.height))
        std::cout << "Screenshot failed: " << shot.path << std::endl;
    }
    const auto cpuEnd = std::chrono::steady_clock::now();
    glfwSwapBuffers(window);
    if (flags.bench) {
      if (frame == 10) earlyMiB = residentMiB();
      recordFrame(frameStart, cpuEnd, threadStart);
    }

    if (flags.logState) {
      const glm::vec3 p = world->vehiclePose().position;
      std::printf(
          "state frame=%ld phase=%s time=%.2f power=%.2f packets=%d objects=%d pos=%.3f,%.3f,%.3f "
          "speed=%.3f gear=%d\n",
          frame, phaseName(game.state().phase), game.state().timeLeft, game.state().power,
          game.state().packetsDelivered, state.objectsDrawn, p.x, p.y, p.z, world->vehicleSpeed(),
          world->vehicleGear());
      std::fflush(stdout);
    }
    if (flags.frames > 0 && frame >= flags.frames) glfwSetWindowShouldClose(window, GLFW_TRUE);
  }

  if (flags.bench) {
    gpu.collect(true);
    const FrameStats total = computeFrameStats(frameTimes);
    const FrameStats cpu = computeFrameStats(cpuTimes);
    std::printf("bench frames=%zu window=%dx%d\n", total.count, state.width, state.height);
    std::printf("bench frame_ms min=%.3f median=%.3f p95=%.3f max=%.3f\n", total.min, total.median, total.p95,
                total.max);
    std::printf("bench cpu_ms min=%.3f median=%.3f p95=%.3f max=%.3f\n", cpu.min, cpu.median, cpu.p95,
                cpu.max);
    const FrameStats thread = computeFrameStats(threadTimes);
    std::printf("bench thread_cpu_ms min=%.3f median=%.3f p95=%.3f max=%.3f\n", thread.min, thread.median,
                thread.p95, thread.max);
    gpu.report(std::cout);
    std::printf("bench memory_mib startup=%.1f frame10=%.1f end=%.1f\n", startupMiB, earlyMiB, residentMiB());
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace ruvelo
