#include "app/app.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "input/controls.h"
#include "app/follow_direction.h"
#include "input/input.h"
#include "app/placement.h"
#include "platform/regular_file.h"
#include "devtools/screenshots.h"
#include "platform/settings.h"
#include "platform/std_streams.h"
#include "platform/stop_signals.h"
#include "platform/user_dirs.h"
#include "platform/window.h"
#include "import/model_import.h"
#include "level/level_layout.h"
#include "level/route.h"
#include "physics/driving.h"
#include "platform/data_folder.h"

namespace ruvelo {
namespace {

constexpr float kSnowPerSecond = 425.0f;

int startupFailure(const char* what) {
  std::cout << "ERROR: " << what << std::endl;
  Platform::terminate();
  pauseIfInteractive();
  return 1;
}

}  // namespace

int runGame(const DevFlags& flags) {
  // From here a stop signal ends the run at its next frame (after loading, if it comes before).
  catchStopSignals();
  App app(flags);
  if (const int status = app.startUp()) return status;
  return app.run();
}

App::App(const DevFlags& flags) : flags_(flags), devTools_(flags), best_(userDataDir()) {}

int App::startUp() {
  Settings settings;
  if (const int status = readSettingsFile(settings)) return status;
  if (const int status = recorder_.start(flags_, dataFolder(), state_.width, state_.height, std::cerr))
    return status;
  best_.load(std::cerr);
  loadGhost(std::cerr);
  sound_ = std::make_unique<GameSound>(flags_, settings.volume);

  // The player's controls (controls.txt), then the window, GL context, callbacks and GL state.
  Controls controls;
  std::string error;
  if (!loadControls(controls, error)) {
    std::cerr << error << std::endl;
    return 1;
  }
  platform_ = Platform::open(settings, flags_.input, controls, error);
  if (!platform_) return startupFailure(error.c_str());
  // In full screen the window has whatever size the screen's modes gave it: draw to all of it.
  const glm::ivec2 framebuffer = platform_->framebufferSize();
  if (settings.fullscreen && framebuffer.x > 0 && framebuffer.y > 0) {
    state_.width = framebuffer.x;
    state_.height = framebuffer.y;
  }

  // Glyph table and text projection, skybox, programs, materials and light, models.
  renderer_ = Renderer::load(state_.width, state_.height, sceneAssetFiles());
  if (!renderer_) return -1;
  state_.camera.setPerspective(45.0f, static_cast<float>(state_.width) / static_cast<float>(state_.height),
                               0.1f, 1500.0f);

  if (const int status = buildWorld()) return status;

  // Framebuffers and snow.
  renderer_->createTargets();
  return 0;
}

// Settings, before anything else exists; the window size and brightness become the run's.
int App::readSettingsFile(Settings& settings) {
  const std::string shipped = dataPath("settings.txt");
  const SettingsResult read =
      ruvelo::readSettingsFile(settingsFileToRead(userConfigDir(), shipped), shipped, settings);
  if (read.status == SettingsStatus::FileMissing) {
    std::cerr << read.message;
    return 1;
  }
  if (read.status == SettingsStatus::BadValue) {
    std::cerr << read.message << std::endl;
    return 1;
  }
  state_.width = settings.width;
  state_.height = settings.height;
  state_.brightness = settings.brightness;
  state_.showGhost = settings.ghost;
  return 0;
}

// The physics world (items and level mesh, callback, ground plane, slab, vehicle, actors), its
// debugger data, and the autopilot that drives its vehicle when asked for.
int App::buildWorld() {
  GameWorld::Failure failure = GameWorld::Failure::None;
  // Read on the CPU only: the collision model is never drawn.
  world_ = GameWorld::create(importModel(levelCollisionPath()), &failure);
  if (failure == GameWorld::Failure::LevelMesh) {
    std::cout << "ERROR: the level's collision mesh could not be built from level1PhysXFinal.obj"
              << std::endl;
    return 1;
  }
  if (!world_) {
    std::cout << "ERROR: the vehicle could not be built" << std::endl;
    return 1;
  }
  world_->setDebugExtra([this]() { return vehicleJson(world_->vehicleReading()); });
  ghostWheels_ = world_->wheelPoses();
  if (recorder_.autopilot()) {
    const SteeringGeometry steering = world_->steering();
    autopilot_.emplace(
        level::drivingLine(level::levelLayout()),
        AutopilotVehicle{steering.wheelBase, steering.maxWheelSteer, keySmoothing(), steerVsSpeed()});
    // Should the game not end at the route's end (win/lose rules off), it laps the ring road.
    autopilot_->setLap(level::ringLap(level::levelLayout()));
  }
  return 0;
}

int App::run() {
  devTools_.startLoop();
  // The frame clock starts with the loop, so the first frame measures one frame, not the loading.
  state_.lastFrame = static_cast<float>(platform_->time());
  while (!platform_->shouldClose()) {
    frame();
    if (stopSignalled()) platform_->requestClose();  // like Escape: the run is kept
  }
  const bool recorded = recorder_.finish(std::cerr);
  if (devTools_.wantsFloorFrames()) measureFloor();
  devTools_.report(state_.width, state_.height);
  if (flags_.bench) std::fputs(sound_->benchReport().c_str(), stdout);
  if (replayDiverged_) return kReplayDivergedStatus;
  std::string failure = devTools_.flagFailure(frame_);
  if (failure.empty()) failure = sound_->finish();
  if (failure.empty()) return recorded ? 0 : kFlagFailedStatus;
  std::cerr << "ruvelo: " << failure << std::endl;
  return kFlagFailedStatus;
}

void App::frame() {
  ++frame_;
  devTools_.beginFrame();
  const float dt = measureFrameTime();
  if (devTools_.benchFloor()) {
    floorFrame();
    return endFrame();
  }
  game_.spinBatteries(dt);
  {
    auto timer = devTools_.time("shadow");
    renderer_->shadowPass(drawList(), devTools_.fullShadow());
  }
  renderer_->beginScene();
  if (game_.playing()) {
    playFrame(dt);
  } else {
    resultFrame();
  }
  sound_->update(*world_, game_.state(), state_, dt);
  // Sound that cannot be written to --audio-out ends the run, like a screenshot.
  if (sound_->outputFailed()) platform_->requestClose();
  present();
  endFrame();
}

// The frame time. Nothing clears the window here: each frame clears what it draws on. In play the window's
// depth is never read (the composite, HUD and snow draw with the depth test off), and clearing it would cost
// a software rasteriser a read and a write of every sample, as the stencil bits beside each depth value are
// kept; the composite clears the colour only where it will not cover it. The result screen and the
// floor frames clear the window themselves.
float App::measureFrameTime() {
  const double now = platform_->time();
  // A stall (a suspended process, a debugger break) counts as one long but bounded frame.
  // A replay takes the time steps of its recording.
  state_.deltaTime = recorder_.frameStep(
      frame_,
      clampFrameTime(flags_.fixedDt > 0.0f ? flags_.fixedDt : static_cast<float>(now - state_.lastFrame)));
  state_.lastFrame = static_cast<float>(now);
  return state_.deltaTime;
}

// Everything drawn, where the physics and the game put it now.
DrawList App::drawList() const {
  ScenePoses poses;
  poses.vehicle = world_->vehiclePose();
  poses.wheels = world_->wheelPoses();
  for (int i = 0; i < kConeCount; ++i) poses.cones[i] = world_->conePose(i);
  DrawList list = buildDrawList(poses, game_.items());
  list.culling = state_.viewFrustum;
  return list;
}

void App::playFrame(float dt) {
  if (game_.takeFirstPlayingFrame()) world_->startPlay();
  handleTriggers(world_->step(dt));
  playTime_ += dt;
  sound_->readImpacts(*world_);
  readDrivingInput(dt);
  DrawList list = drawList();
  recorder_.notePose(frame_, world_->vehiclePose());
  list.frustum = Frustum(state_.camera.viewMatrix, state_.camera.projectionMatrix);
  state_.objectsDrawn = 0;
  handleInput(platform_->poll(frame_));
  updateCamera(dt);
  {
    auto timer = devTools_.time("lit");
    list.culling = state_.viewFrustum;  // a toggle in this frame's events counts already
    state_.objectsDrawn = renderer_->litPass(list, state_.camera, state_.brightness);
  }
  game_.updateTimerAndPhase(state_.debugMode, state_.winLoseCondition, dt);
  {
    auto timer = devTools_.time("sky");
    renderer_->sky(state_.camera);
  }
  drawGhost();
  {
    auto timer = devTools_.time("edge");
    renderer_->edgePass();
  }
  {
    auto timer = devTools_.time("composite");
    renderer_->composite(platform_->framebufferSize());
  }
  drawHud(dt);
  drawSnow(dt);
}

// Result screen: the sky and one line; toggles and Escape still answer.
void App::resultFrame() {
  renderer_->beginResultScreen();
  handleInput(platform_->poll(frame_));
  renderer_->resultScreen(state_.camera, resultText(game_.state().phase), resultDetail_);
}

// The cost floor of a frame: clear the shadow map and the window, nothing else.
void App::floorFrame() {
  {
    auto timer = devTools_.time("floor");
    renderer_->floorFrame();
  }
  devTools_.endWork();
  platform_->swapBuffers();
  devTools_.afterSwap(frame_);
  handleInput(platform_->poll(frame_, false));
  if (devTools_.lastFrame(frame_)) platform_->requestClose();
}

// The floor measured right after the frames, so the ratio compares one machine state.
void App::measureFloor() {
  for (int i = 0; i < DevTools::kFloorFrames; ++i) {
    devTools_.beginFloorFrame();
    renderer_->floorFrame();
    platform_->swapBuffers();
    devTools_.endFloorFrame();
    handleInput(platform_->poll(frame_, false));
  }
}

// Trigger rules: a zone delivers a packet, a battery adds power; the item leaves the world.
void App::handleTriggers(const std::optional<ItemEvent>& event) {
  if (!event || !game_.collect(*event, std::cout)) return;
  world_->removeItem(event->item);
  sound_->collected(event->kind);
}

// Driving controls for the next step, or the free camera in debug mode.
void App::readDrivingInput(float dt) {
  const InputFrame& held = input_;
  if (state_.debugMode) {
    moveFreeCamera(state_.camera,
                   {held.held(GLFW_KEY_W), held.held(GLFW_KEY_S), held.held(GLFW_KEY_A),
                    held.held(GLFW_KEY_D), held.held(GLFW_KEY_SPACE), held.held(GLFW_KEY_LEFT_SHIFT)},
                   dt);
    return;
  }
  DriveCommand command = held.drive;
  if (autopilot_) command = autopilotCommand(command, dt);
  const DriveResult result = world_->drive(command);
  if (result.unflippedCleared) state_.unflipped = false;
  if (result.unflippedSet) state_.unflipped = true;
  game_.drain(result.accelerateAmount, result.reverseAmount, world_->vehiclePose().position.y, dt);
}

// The autopilot drives until the player presses a driving key or moves a gamepad control past its
// dead zone; then the player drives for good.
DriveCommand App::autopilotCommand(const DriveCommand& player, float dt) {
  if (player.any()) {
    autopilot_.reset();
    std::cout << "Autopilot off: the player drives" << std::endl;
    return player;
  }
  AutopilotView view;
  const Pose pose = world_->vehiclePose();
  view.position = pose.position;
  view.forward = pose.rotation * glm::vec3(0.0f, 0.0f, 1.0f);
  view.forwardSpeed = world_->vehicleForwardSpeed();
  view.controls = world_->vehicleControls();
  // A replay drives with the keys the autopilot chose when the run was recorded.
  AutopilotKeys chosen;
  if (!recorder_.replaying()) chosen = autopilot_->decide(view, dt);
  chosen = recorder_.autopilotKeys(frame_, chosen);
  return DriveCommand{chosen.w, chosen.a, chosen.s, chosen.d, chosen.b, false};
}

// The key, cursor and scroll events of this poll, in their order.
// A replay swaps in the recorded input; a live run's is recorded.
void App::handleInput(InputFrame polled) {
  const InputFrame input = recorder_.input(frame_, std::move(polled));
  for (const InputEvent& event : input.events) {
    switch (event.type) {
      case InputEvent::Type::Key:
        platform_->apply(onKeyEvent(state_, event.key, event.action, std::cout));
        break;
      case InputEvent::Type::Cursor:
        onCursorEvent(state_, event.x, event.y, event.leftButton);
        break;
      case InputEvent::Type::Scroll:
        onScrollEvent(state_, event.y);
        break;
      case InputEvent::Type::ReverseCamera:
        toggleReverseCamera(state_, std::cout);
        break;
    }
  }
  input_ = input;
  renderer_->setToggles({state_.wireframe, state_.cullFaces});
}

// Free view in debug mode, else follow the vehicle.
void App::updateCamera(float dt) {
  if (state_.debugMode) {
    state_.camera.updateFreeView();
    return;
  }
  const bool reversing = world_->vehicleInReverse() && state_.reverseMode;
  const glm::vec3 direction =
      followDirection(world_->vehicleVelocity(), lastFollowDirection_, reversing, state_.unflipped);
  state_.camera.follow(world_->vehiclePose().position, direction, dt);
}

// HUD values, refreshed even when the HUD is hidden.
void App::drawHud(float dt) {
  refreshFps(state_.fpsAccumulator, state_.fpsText, dt);
  const HudTexts texts = game_.hudTexts(state_.fpsText, state_.objectsDrawn);
  if (!state_.showHud) return;
  auto timer = devTools_.time("hud");
  renderer_->hud(texts);
}

void App::drawSnow(float dt) {
  if (!state_.snow) return;
  auto timer = devTools_.time("snow");
  const glm::vec3 p = world_->vehiclePose().position;
  renderer_->snow(static_cast<unsigned>(dt * kSnowPerSecond), glm::vec3(p.x, p.y + 10.0f, p.z),
                  world_->vehicleVelocity(), dt, state_.camera);
}

// Screenshots, the swap, the bench sample and the state line; the last frame closes the window.
void App::present() {
  // A screenshot that cannot be written ends the run.
  if (!devTools_.takeScreenshots(frame_, state_.width, state_.height)) platform_->requestClose();
  devTools_.endWork();
  platform_->swapBuffers();
  devTools_.afterSwap(frame_);
  if (devTools_.logState()) {
    std::fputs(stateLine(frame_, game_.state(), state_.objectsDrawn, world_->vehiclePose().position,
                         world_->vehicleSpeed(), world_->vehicleGear())
                   .c_str(),
               stdout);
  }
  // Standard output that cannot be written ends the run; main then ends it with status 3.
  if (!standardOutputWritten()) platform_->requestClose();
  if (devTools_.lastFrame(frame_)) platform_->requestClose();
}

// The best run's recording, for its ghost; one that cannot be read means no ghost.
void App::loadGhost(std::ostream& err) {
  const std::string path = best_.recordingPath();
  if (path.empty()) return;
  std::string bytes, why;
  Recording best;
  if (regularFileProblem(path) == "no such file") {
    if (!best_.known()) return;
    why = "missing";
  } else if (readRegularFile(path, kMaxRecordingBytes, bytes, why) && decodeRecording(bytes, best, why)) {
    why.clear();
  }
  if (!why.empty()) {
    // With a good best.txt the next win puts its run there.
    if (best_.known()) best_.recordingLost();
    err << "ruvelo: the best run " << path << " cannot be read (" << why << "); no ghost"
        << (best_.known() ? " until the next win" : "") << std::endl;
    return;
  }
  ghost_.emplace(best);
  if (ghost_->empty()) ghost_.reset();
}

// The ghost where the best run was at this playing time, its wheels at rest.
void App::drawGhost() {
  if (!ghost_ || !state_.showGhost) return;
  auto timer = devTools_.time("ghost");
  const RecordedPose at = ghost_->at(playTime_);
  const Pose pose{at.position, at.rotation};
  const glm::mat4 frame = vehicleFrameMatrix(pose);
  std::array<glm::mat4, 4> wheels;
  for (int i = 0; i < 4; ++i) wheels[i] = wheelMatrix(frame, ghostWheels_[i]);
  renderer_->ghost(vehicleBodyMatrix(pose), wheels, state_.camera, state_.brightness);
}

// The recording's end of a frame: the state hash kept or checked (a replay that left its recorded
// run ends), the best result on the frame that won, and the end of a replay after its last frame.
void App::endFrame() {
  if (!recorder_.endFrame(
          frame_, [this] { return gameStateHash(*world_, game_.state()); }, std::cerr)) {
    replayDiverged_ = true;
    platform_->requestClose();
  }
  if (resultDetail_.empty() && game_.state().phase == GamePhase::Won) keepResult();
  if (recorder_.replayOver(frame_)) platform_->requestClose();
}

// A won run against the best: kept when better (not in a replay); the line under the result.
void App::keepResult() {
  const RunResult run{game_.state().timeLeft, game_.state().power};
  resultDetail_ =
      recorder_.replaying() ? best_.describe(run) : best_.offer(run, recorder_.bytes(std::cerr), std::cerr);
  std::cout << resultDetail_ << std::endl;
}

}  // namespace ruvelo
