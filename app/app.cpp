#include "app/app.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <iostream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#include "app/key_handling.h"
#include "app/placement.h"
#include "devtools/screenshots.h"
#include "import/model_import.h"
#include "input/controls.h"
#include "input/input.h"
#include "input/input_script.h"
#include "level/level_layout.h"
#include "platform/data_folder.h"
#include "platform/exit_status.h"
#include "platform/frame_time.h"
#include "platform/regular_file.h"
#include "platform/settings.h"
#include "platform/std_streams.h"
#include "platform/stop_signals.h"
#include "platform/user_dirs.h"
#include "platform/window.h"
#include "render/gl_state.h"

namespace ruvelo {
namespace {

constexpr float kSnowPerSecond = 425.0f;
// A paused scene keeps this share of its brightness.
constexpr float kPausedDim = 0.45f;

// The pause screen's lines.
Overlay pauseOverlay(float hudScale) {
  Overlay overlay;
  overlay.lines = {
      TextLine{"Paused", 0.4f, 0.5f, 2.0f * hudScale, glm::vec3(1.0f, 1.0f, 0.0f)},
      TextLine{"P: resume   Enter: retry   Escape: quit", 0.25f, 0.4f, 0.9f * hudScale, glm::vec3(1.0f)},
      TextLine{"O: options", 0.25f, 0.33f, 0.9f * hudScale, glm::vec3(1.0f)}};
  return overlay;
}

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The game's models read on a thread of their own; read when taken if no thread can be started.
std::future<ImportedModels> readModelsInBackground() {
  try {
    return std::async(std::launch::async, importGameModels);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, importGameModels);
  }
}

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
  if (const int status = readSettingsFile()) return status;
  const Settings& settings = settings_;
  header_ = runHeader(levelCollisionPath(), state_.width, state_.height, flags_.autopilot);
  // A replay is checked before the window opens.
  std::unique_ptr<Replayer> replayer;
  if (!flags_.replay.empty()) {
    replayer = std::make_unique<Replayer>();
    if (const int status = replayer->open(flags_.replay, header_, std::cerr)) return status;
  }
  // Without HOME or the XDG folders nothing can be kept: said once, and the game plays on.
  if (const std::string unkept = unkeptFilesLine(); !unkept.empty())
    std::cerr << "ruvelo: " << unkept << std::endl;
  best_.load(std::cerr);
  // The models are read from their files on a thread of their own while the window and the GL
  // context are made, which keep this thread waiting on the driver.
  std::future<ImportedModels> imported = readModelsInBackground();
  devTools_.startupStep("settings");
  sound_ = std::make_unique<GameSound>(flags_);
  devTools_.startupStep("sound");

  // The player's controls (controls.txt), then the window, GL context, callbacks and GL state.
  Controls controls;
  std::string error;
  if (!loadControls(controls, error)) {
    std::cerr << error << std::endl;
    return 1;
  }
  platform_ = Platform::open(settings, error);
  if (!platform_) return startupFailure(error.c_str());
  devTools_.startupStep("window");
  gl_state::setStartState();
  std::vector<ScriptedKey> script;
  parseInputScript(flags_.input, script, error);  // main has checked it
  liveInput_ = std::make_unique<LiveInput>(*platform_, std::move(script), controls);
  // In full screen the window has whatever size the screen's modes gave it: draw to all of it.
  const glm::ivec2 framebuffer = platform_->framebufferSize();
  if (settings.fullscreen() && framebuffer.x > 0 && framebuffer.y > 0) {
    state_.width = framebuffer.x;
    state_.height = framebuffer.y;
  }

  // Glyph table and text projection, skybox, programs, materials and light, models.
  renderer_ = Renderer::load(state_.width, state_.height, levelSun(),
                             [this](const char* step) { devTools_.startupStep(step); });
  if (!renderer_) return -1;
  // Printed here, in one piece: the reading thread's messages never break into this thread's lines.
  ImportedModels models = imported.get();
  std::cout << models.messages << std::flush;
  devTools_.startupStep("models_read");
  assets_ = loadSceneAssets(*renderer_, models.scene);
  devTools_.startupStep("models");
  hudScale_ = hudScale(renderer_->glyphs(), state_.width, state_.height);
  resultScale_ = resultScale(renderer_->glyphs(), state_.width, state_.height);

  // The physics world (read on the CPU only: the collision model is never drawn) and the first run.
  levelCollision_ = std::move(models.collision);
  if (!newSession(std::move(replayer))) return 1;
  devTools_.startupStep("world");

  // Framebuffers and snow.
  renderer_->createTargets();
  devTools_.startupStep("targets");
  return 0;
}

// Settings, before anything else exists; the window size becomes the run's.
int App::readSettingsFile() {
  Settings& settings = settings_;
  const std::string shipped = dataPath("settings.txt");
  const std::string path = settingsFileToRead(userConfigDir(), shipped);
  const SettingsResult read = ruvelo::readSettingsFile(path, shipped, settings);
  if (read.status == SettingsStatus::FileMissing) {
    // The shipped file's message is the one line without a line end; a player's file gets one.
    std::cerr << read.message << (path == shipped ? "" : "\n") << std::flush;
    return 1;
  }
  if (read.status == SettingsStatus::BadValue) {
    std::cerr << read.message << std::endl;
    return 1;
  }
  state_.width = settings.width();
  state_.height = settings.height();
  // Runs that must draw the same pictures every time (fixed steps, scripts, replays, screenshots,
  // the bench) draw at 1.0 unless the file names a scale.
  const bool deterministic = flags_.fixedDt > 0.0f || !flags_.input.empty() || !flags_.replay.empty() ||
                             !flags_.screenshots.empty() || flags_.bench || flags_.benchFloor;
  if (deterministic && path != shipped) keepShippedOptions(shipped);
  if (deterministic && !settings.named(Option::RenderScale)) settings.load(Option::RenderScale, 1.0, false);
  return 0;
}

// A deterministic run takes the options the game keeps for the player (what a key or the options
// screen changed and wrote back) from the shipped file, so what a player saved never changes a
// test, a replay or a benchmark; the rest of the player's file (the window) still counts.
void App::keepShippedOptions(const std::string& shipped) {
  Settings fromShipped;
  if (readSettings(shipped, fromShipped).status != SettingsStatus::Ok) fromShipped = Settings();
  for (int i = 0; i < kOptionCount; ++i) {
    const Option option = static_cast<Option>(i);
    if (optionInfo(option).playerKept)
      settings_.load(option, fromShipped.value(option), fromShipped.named(option));
  }
}

// The options the player changed (a key, the options screen) kept in their own settings.txt for the
// next start; said once when they cannot be. A replay changes nothing of the player's.
void App::keepOptions() {
  const std::string configDir = userConfigDir();
  if (!flags_.replay.empty() || configDir.empty()) return;  // without the folder, said at start-up
  const std::string why = keepChangedSettings(configDir, dataPath("settings.txt"), settings_);
  if (!why.empty()) std::cerr << "ruvelo: the changed options are not kept: " << why << std::endl;
}

// The controls the options screen moved, kept in the player's controls.txt when the screen closes;
// said when they cannot be.
void App::keepRebinding() {
  if (std::none_of(rebound_.begin(), rebound_.end(), [](bool b) { return b; }) || userConfigDir().empty())
    return;
  const std::string why = keepControls(liveInput_->controls(), rebound_);
  if (!why.empty()) std::cerr << "ruvelo: the new controls are not kept: " << why << std::endl;
  rebound_.fill(false);
}

// A replay's recording, else a recorder of the new run.
std::unique_ptr<InputSource> App::inputSource(std::unique_ptr<Replayer> replayer) {
  if (replayer) return replayer;
  return std::make_unique<Recorder>(header_, flags_.record, userStateDir(), std::cerr);
}

// A run from the start values: the world, the items, the timer and power, the ghost of the best run.
bool App::newSession(std::unique_ptr<Replayer> replayer) {
  const auto start = std::chrono::steady_clock::now();
  // Every run's camera starts where the first did; the reverse view and the cursor carry over.
  CameraRig camera(static_cast<float>(state_.width) / static_cast<float>(state_.height), settings_);
  if (session_) camera.carryOver(session_->camera());
  session_.reset();
  session_ = Session::create(inputSource(std::move(replayer)), levelCollision_, best_, camera, std::cerr);
  sessionMs_ = msSince(start);
  return session_ != nullptr;
}

int App::run() {
  devTools_.startLoop();
  // The frame clock starts with the loop, so the first frame measures one frame, not the loading.
  clock_.lastFrame = static_cast<float>(platform_->time());
  while (!platform_->shouldClose()) {
    frame();
    if (stopSignalled()) platform_->requestClose();  // like Escape: the run is kept
  }
  const bool recorded = finishRun();
  keepOptions();
  if (devTools_.wantsFloorFrames()) measureFloor();
  devTools_.report(state_.width, state_.height);
  if (flags_.bench) {
    std::fputs(sound_->benchReport().c_str(), stdout);
    std::printf("bench session_ms=%.2f runs=%d\n", sessionMs_, run_);
  }
  if (replayDiverged_) return kRunFailedStatus;
  if (runFailed_) return 1;
  std::string failure = devTools_.flagFailure(frame_);
  if (failure.empty()) failure = sound_->finish();
  if (failure.empty()) return recorded && !recordFailed_ ? 0 : kRunFailedStatus;
  std::cerr << "ruvelo: " << failure << std::endl;
  return kRunFailedStatus;
}

// With --slow-frame, every this many frames one is slow.
constexpr long kSlowFrameEvery = 5;

// A frame reads its input and updates the run, then draws what the update left.
void App::frame() {
  ++frame_;
  devTools_.beginFrame();
  const float dt = measureFrameTime();
  if (devTools_.benchFloor()) {
    floorFrame();
    return endFrame();
  }
  const FrameKind kind = frameKind();
  chooseRenderScale(dt);
  const FrameView view = update(kind, dt);
  draw(view);
  // Sound that cannot be written to --audio-out ends the run, like a screenshot.
  if (sound_->outputFailed()) platform_->requestClose();
  present();
  endFrame();
  if (retryWanted_) retry();
  if (flags_.slowFrameMs > 0 && frame_ % kSlowFrameEvery == 0) waitOutSlowFrame();
}

// --slow-frame: every few frames one is made to last at least its time, a hitch after quick frames.
void App::waitOutSlowFrame() {
  const double until = clock_.lastFrame + static_cast<double>(flags_.slowFrameMs) / 1000.0;
  const double now = platform_->time();
  if (now < until) std::this_thread::sleep_for(std::chrono::duration<double>(until - now));
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
  clock_.deltaTime = session_->beginFrame(
      clampFrameTime(flags_.fixedDt > 0.0f ? flags_.fixedDt : static_cast<float>(now - clock_.lastFrame)));
  clock_.lastFrame = static_cast<float>(now);
  return clock_.deltaTime;
}

App::FrameKind App::frameKind() const {
  if (!session_->game().playing()) return FrameKind::Result;
  return session_->paused() ? FrameKind::Paused : FrameKind::Playing;
}

// The run's update in the order that decides its results: the step and the trigger rules, the
// driving input after the triggers, the poll, the camera, then the timer after the items' visibility.
// The lit pass culls with the camera as the last frame left it.
App::FrameView App::update(FrameKind kind, float dt) {
  Session& session = *session_;
  FrameView view;
  view.kind = kind;
  if (kind != FrameKind::Paused) session.spinBatteries(dt);
  view.shadow = drawList();
  view.shadowToggles = {toggles_.wireframe, toggles_.cullFaces};
  if (kind == FrameKind::Playing) {
    session.step(dt, toggles_.debugMode);
    noteDelivery();
  }
  view.lit = drawList();
  const Camera& camera = session.camera().camera();
  view.lit.frustum = Frustum(camera.viewMatrix, camera.projectionMatrix);
  handleInput(liveInput_->poll(frame_), kind);
  view.lit.culling = toggles_.viewFrustum;  // a toggle in this frame's events counts already
  if (kind == FrameKind::Playing) {
    updateCamera(dt);
    session.updateTimerAndPhase(toggles_.debugMode, toggles_.winLoseCondition, dt);
  }
  sound_->update(session.soundFrame(), session.world(), session.game().state(), session.camera().camera(),
                 settings_, dt, kind == FrameKind::Paused);
  finishView(view, dt);
  return view;
}

// The rest of the frame's value, as the update leaves the run: the camera, the toggles, the ghost,
// the snow's step, the FPS text and the HUD, the pause or options screen, or the result's lines.
void App::finishView(FrameView& view, float dt) {
  view.camera = session_->camera().camera();
  view.toggles = {toggles_.wireframe, toggles_.cullFaces};
  view.brightness = settings_.brightness();
  view.framebuffer = platform_->framebufferSize();
  if (view.kind == FrameKind::Result) {
    view.result = resultOverlay(resultText(session_->game().state().phase), resultDetail_, resultScale_);
    return;
  }
  const bool paused = view.kind == FrameKind::Paused;
  if (const std::optional<RecordedPose> at = session_->ghostPose(); at && settings_.ghost()) {
    view.ghost.emplace();
    addGhost(*view.ghost, assets_, Pose{at->position, at->rotation}, session_->ghostWheels());
  }
  view.snow = settings_.on(Option::Snow);
  if (view.snow) updateSnow(paused ? 0.0f : dt);  // the flakes hang while paused
  // HUD values, refreshed even when the HUD is hidden.
  refreshFps(clock_.fpsAccumulator, clock_.fpsText, dt);
  const DriveView drive = driveView();
  if (settings_.on(Option::Hud) && !optionsScreen_) {  // the options screen covers the HUD
    view.hud = hudTexts(session_->game().state(), clock_.fpsText, 0);
    view.driveHud = driveHud(drive, state_.width, state_.height, hudScale_);
  }
  if (paused && optionsScreen_) {
    const Controls& controls = liveInput_->controls();
    const float scale = fittingScale(renderer_->glyphs(), state_.width, state_.height, [&](float s) {
      return optionsScreen_->overlay(settings_, controls, s);
    });
    view.screen = optionsScreen_->overlay(settings_, controls, scale);
  } else if (paused) {
    Overlay screen = pauseMap(drive, state_.width, state_.height, hudScale_);
    const Overlay lines = pauseOverlay(hudScale_);
    screen.lines.insert(screen.lines.end(), lines.lines.begin(), lines.lines.end());
    view.screen = screen;
  }
}

// The frame as the update left it; nothing here reads the run, the options or the toggles.
void App::draw(const FrameView& view) {
  renderer_->setToggles(view.shadowToggles);
  {
    auto timer = devTools_.time("shadow");
    renderer_->shadowPass(view.shadow, devTools_.fullShadow());
  }
  renderer_->setToggles(view.toggles);
  renderer_->beginScene();
  if (view.kind != FrameKind::Result) return drawPlayScene(view);
  // Result screen: the sky and one line.
  renderer_->beginResultScreen();
  renderer_->resultScreen(view.camera, view.result);
}

// The scene in play, or paused: dimmed, with the pause screen's lines over it, its snow standing.
void App::drawPlayScene(const FrameView& view) {
  {
    auto timer = devTools_.time("lit");
    objectsDrawn_ = renderer_->litPass(view.lit, view.camera, view.brightness);
  }
  {
    auto timer = devTools_.time("sky");
    renderer_->sky(view.camera);
  }
  if (view.ghost) {
    auto timer = devTools_.time("ghost");
    renderer_->translucentPass(*view.ghost, view.camera, view.brightness);
  }
  {
    auto timer = devTools_.time("edge");
    renderer_->edgePass();
  }
  {
    auto timer = devTools_.time("composite");
    renderer_->composite(view.framebuffer);
  }
  // The snow falls behind the HUD, so it never hides the lines or the map.
  if (view.snow) {
    auto timer = devTools_.time("snow");
    renderer_->drawSnow(view.camera);
  }
  if (view.hud) {
    HudTexts texts = *view.hud;
    texts.objectsDrawn = std::to_string(objectsDrawn_);
    {
      auto timer = devTools_.time("hud");
      renderer_->overlay(fixedHud(texts, hudScale_));
    }
    auto timer = devTools_.time("hud_drive");
    renderer_->overlay(view.driveHud);
  }
  if (view.screen) renderer_->overlay(kPausedDim, *view.screen);
}

// The scale this frame's scene is drawn at: fixed, or the controller's pick from the wall time of
// the frames so far (a fixed time step does not change how long a frame really takes) and the game
// time `dt` of this frame. Its notice, when it sits at its floor and still misses, goes to the console.
void App::chooseRenderScale(float dt) {
  const double now = platform_->time();
  double frameMs = lastFrameWall_ >= 0.0 ? (now - lastFrameWall_) * 1000.0 : -1.0;
  if (frameMs >= 0.0 && flags_.scaleFrameMs > 0.0f) frameMs = flags_.scaleFrameMs;
  lastFrameWall_ = now;
  const RenderScaleSetting setting = settings_.renderScale();
  float scale = setting.value;
  if (setting.automatic) {
    scale = frameMs >= 0.0 ? scaleController_.update(frameMs, dt) : scaleController_.scale();
    const std::string notice = scaleController_.takeFloorNotice();
    if (!notice.empty()) std::cout << notice << std::endl;
  } else {
    scaleController_ = RenderScaleController();  // auto starts again from 1.0
  }
  renderer_->setRenderScale(scale);
  devTools_.noteRenderScale(scale);
}

// Everything drawn, where the physics and the game put it now.
DrawList App::drawList() const {
  ScenePoses poses;
  const GameWorld& world = session_->world();
  poses.vehicle = world.vehiclePose();
  poses.wheels = world.wheelPoses();
  for (int i = 0; i < kConeCount; ++i) poses.cones[i] = world.conePose(i);
  DrawList list = buildDrawList(poses, session_->game().items(), assets_);
  list.culling = toggles_.viewFrustum;
  return list;
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
  handleInput(liveInput_->poll(frame_, false), FrameKind::Result);
  if (devTools_.lastFrame(frame_)) platform_->requestClose();
}

// The floors measured right after the frames, so the ratios compare one machine state: clear-only
// frames and textured-quad frames, taken in turn.
void App::measureFloor() {
  for (int i = 0; i < 2 * DevTools::kFloorFrames; ++i) {
    const bool quad = i % 2 == 1;
    devTools_.beginFloorFrame();
    if (quad)
      renderer_->texturedQuadFrame();
    else
      renderer_->floorFrame();
    platform_->swapBuffers();
    devTools_.endFloorFrame(quad);
    handleInput(liveInput_->poll(frame_, false), FrameKind::Result);
  }
}

// The key, cursor and scroll events of this poll, in their order. A replay swaps in the recorded
// input; a live run's is recorded.
void App::handleInput(InputFrame polled, FrameKind kind) {
  const InputFrame input = session_->input(withFocusPause(std::move(polled), kind));
  for (const InputEvent& event : input.events) applyEvent(event, kind);
}

void App::applyEvent(const InputEvent& event, FrameKind kind) {
  switch (event.type) {
    case InputEvent::Type::Action:
      applyAction(event.action, kind);
      break;
    case InputEvent::Type::Cursor:
      session_->camera().look(event.x, event.y, event.leftButton);
      break;
    case InputEvent::Type::Scroll:
      session_->camera().zoom(event.y);
      break;
    case InputEvent::Type::Menu:
    case InputEvent::Type::Captured:
      applyMenuEvent(event);
      break;
    case InputEvent::Type::FocusLost:
      break;
  }
}

// The options screen's moves and changes; the input reads keys as the menu's while it is open.
void App::applyMenuEvent(const InputEvent& event) {
  if (!optionsScreen_) return;
  if (event.type == InputEvent::Type::Captured) {
    Controls controls = liveInput_->controls();
    if (optionsScreen_->onCaptured(event.binding, controls)) {
      liveInput_->setControls(controls);
      rebound_[static_cast<int>(controlRowAction(optionsScreen_->row()))] = true;
    }
  } else if (optionsScreen_->onMenu(event.menu, settings_) == OptionsScreen::Result::Close) {
    optionsScreen_.reset();
    liveInput_->setMenu(false);
    keepRebinding();
    return;
  }
  liveInput_->setMenu(true, optionsScreen_->capturing());
}

void App::applyAction(Action action, FrameKind kind) {
  switch (action) {
    case Action::Quit:
      platform_->requestClose();
      break;
    case Action::Pause:
      if (session_->game().playing()) session_->togglePause(std::cout);
      break;
    case Action::Options:
      // Over the pause screen of a live run (a replay plays with the options as they are).
      if (kind == FrameKind::Paused && !session_->replaying() && !optionsScreen_) {
        optionsScreen_.emplace();
        liveInput_->setMenu(true);
      }
      break;
    case Action::ReverseCamera:
      session_->camera().toggleReverseView(std::cout);
      break;
    case Action::CameraView: {
      const int view = (static_cast<int>(settings_.value(Option::CameraView)) + 1) % kCameraViewCount;
      settings_.change(Option::CameraView, view);
      std::cout << "Camera: " << cameraViewName(view) << std::endl;
      break;
    }
    case Action::Retry:
      // A replay plays its one run.
      if (!session_->replaying() && (kind != FrameKind::Playing || session_->paused())) retryWanted_ = true;
      break;
    default:
      applyToggle(toggles_, settings_, action, std::cout);
      break;
  }
}

// A live run pauses when its window loses focus or is iconified: the loss becomes a pause in the
// input (and so in the recording); a scripted, replayed, bounded or measured run ignores it.
InputFrame App::withFocusPause(InputFrame polled, FrameKind kind) const {
  const bool live = flags_.input.empty() && flags_.replay.empty() && flags_.frames <= 0 && !flags_.bench &&
                    !flags_.benchFloor;
  bool pause = live && kind == FrameKind::Playing && !session_->paused();
  for (InputEvent& event : polled.events) {
    if (event.type != InputEvent::Type::FocusLost || !pause) continue;
    event = InputEvent::of(Action::Pause);
    pause = false;
  }
  return polled;
}

// Free view in debug mode, else follow the vehicle in the chosen view.
void App::updateCamera(float dt) {
  CameraRig& rig = session_->camera();
  if (toggles_.debugMode) return rig.freeView(settings_);
  const GameWorld& world = session_->world();
  const Pose pose = world.vehiclePose();
  rig.follow({pose.position, pose.rotation, world.vehicleVelocity(), world.vehicleInReverse()}, settings_,
             dt);
}

// What the drive gauge and the maps show now; the goal for the run's first seconds.
DriveView App::driveView() const {
  constexpr double kGoalShownFor = 4.0;
  const GameWorld& world = session_->world();
  DriveView view;
  view.speed = world.vehicleSpeed();
  view.gear = world.vehicleGear();
  view.engineShare = world.vehicleEngineShare();
  const Pose pose = world.vehiclePose();
  view.position = pose.position;
  view.forward = pose.rotation * glm::vec3(0.0f, 0.0f, 1.0f);
  if (settings_.ghost())
    if (const std::optional<RecordedPose> ghost = session_->ghostPose()) view.ghost = ghost->position;
  view.items = &session_->game().items();
  if (delta_ && session_->playTime() < deltaUntil_) view.delta = delta_;
  view.goal = session_->playTime() < kGoalShownFor;
  view.minimap = !session_->paused();
  return view;
}

// A delivery in this step against the best run's same delivery, shown for about three seconds.
void App::noteDelivery() {
  constexpr double kShownFor = 3.0;
  const std::vector<double>& times = session_->game().deliveryTimes();
  if (times.size() <= deliveriesShown_) return;
  deliveriesShown_ = times.size();
  const std::optional<RunResult>& best = best_.best();
  if (!best || best->deliveryTimes.size() < times.size()) return;
  delta_ = deliveryDelta(times.back(), best->deliveryTimes[times.size() - 1]);
  deltaUntil_ = session_->playTime() + kShownFor;
}

// New flakes and their ageing over `dt` (none while paused), above the vehicle.
void App::updateSnow(float dt) {
  const GameWorld& world = session_->world();
  const glm::vec3 p = world.vehiclePose().position;
  renderer_->updateSnow(static_cast<unsigned>(dt * kSnowPerSecond), glm::vec3(p.x, p.y + 10.0f, p.z),
                        world.vehicleVelocity(), dt);
}

// Screenshots, the swap, the bench sample and the state line; the last frame closes the window.
void App::present() {
  // A screenshot that cannot be written ends the run.
  if (!devTools_.takeScreenshots(frame_, state_.width, state_.height)) platform_->requestClose();
  devTools_.endWork();
  platform_->swapBuffers();
  devTools_.afterSwap(frame_);
  if (devTools_.logState()) {
    const GameWorld& world = session_->world();
    const GameState& game = session_->game().state();
    std::fputs(stateLine({frame_, phaseName(game.phase), displayedTimeLeft(game.timeLeft), game.power,
                          game.packetsDelivered, objectsDrawn_, world.vehiclePose().position,
                          world.vehicleSpeed(), world.vehicleGear(), session_->paused()})
                   .c_str(),
               stdout);
  }
  // Standard output that cannot be written ends the run; main then ends it with status 3.
  if (!standardOutputWritten()) platform_->requestClose();
  if (devTools_.lastFrame(frame_)) platform_->requestClose();
}

// The recording's end of a frame: the state hash kept or checked (a replay that left its recorded
// run ends), the best result on the frame that won, and the end of a replay after its last frame.
void App::endFrame() {
  if (!session_->endFrame(std::cerr)) {
    replayDiverged_ = true;
    platform_->requestClose();
  }
  const GameState& game = session_->game().state();
  if (resultDetail_.empty() && game.phase == GamePhase::Won) keepResult();
  if (resultDetail_.empty() && game.phase == GamePhase::Lost) {
    resultDetail_ = lossReason(game);
    std::cout << resultDetail_ << std::endl;
  }
  if (session_->replayOver()) platform_->requestClose();
}

// A won run against the best: kept when better (not in a replay); the line under the result.
void App::keepResult() {
  const RunResult run{session_->game().state().timeLeft, session_->game().state().power,
                      session_->game().deliveryTimes()};
  resultDetail_ = session_->replaying() ? best_.describe(run)
                                        : best_.offer(run, session_->recordingBytes(std::cerr), std::cerr);
  std::cout << resultDetail_ << std::endl;
}

// The run's recording kept: last-run.rvr and --record. False when --record could not be written.
bool App::finishRun() {
  return !session_ || session_->finish(std::cerr);
}

// Enter or A on the result screen or while paused: the finished run is kept, and a new one starts
// from the start values with the toggles as they are. The best run, if this one was it, is the ghost.
void App::retry() {
  retryWanted_ = false;
  const auto start = std::chrono::steady_clock::now();
  if (!finishRun()) recordFailed_ = true;
  if (!newSession(nullptr)) {
    // The line saying why is out; the game ends as a start-up that failed would.
    runFailed_ = true;
    platform_->requestClose();
    return;
  }
  resultDetail_.clear();
  delta_.reset();
  deliveriesShown_ = 0;
  ++run_;
  std::cout << "Retry: run " << run_ << std::endl;
  if (session_->ghostDuration() > 0.0 && settings_.ghost())
    std::printf("Ghost: best run of %.2f s\n", session_->ghostDuration());
  std::fflush(stdout);
  // The whole retry (the finished run's recording written and synced, then the new session).
  if (flags_.bench) std::printf("bench retry_ms=%.2f session_ms=%.2f\n", msSince(start), sessionMs_);
}

}  // namespace ruvelo
