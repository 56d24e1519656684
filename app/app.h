// The program: start-up in its fixed order, the frame loop over one run after another (each a
// Session), the screens, and teardown. A frame updates the run and builds one FrameView, then draws
// that value; each reads as the design's frame order, one named step after another.
#pragma once

#include <memory>
#include <optional>

#include "app/app_state.h"
#include "app/game_sound.h"
#include "app/hud_layout.h"
#include "app/options_screen.h"
#include "app/placement.h"
#include "app/session.h"
#include "devtools/dev_flags.h"
#include "devtools/dev_tools.h"
#include "game/autopilot.h"
#include "game/best_result.h"
#include "game/game.h"
#include "input/input.h"
#include "passes/render_scale.h"
#include "passes/renderer.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "replay/replayer.h"

namespace ruvelo {

// Runs the game from the working directory (assets under ../assets/). Returns the process status:
// 0 after a normal close, 1 when settings, GLFW, the window, GLEW or the level fail, -1 when the
// font fails.
int runGame(const DevFlags& flags);

class App {
 public:
  explicit App(const DevFlags& flags);

  // Start-up; 0 when the loop may run, else the process status.
  int startUp();
  // Frames until the window is asked to close, then the bench report. The process status: 0, or
  // kRunFailedStatus when a developer flag failed while the game ran.
  int run();

 private:
  // What a frame is, decided at its start.
  enum class FrameKind { Playing, Paused, Result };
  // The frame as one value: everything the update decided for the drawing. The shadow casters where
  // they stood before the step, with the raster toggles of that moment; the lit pass's list after
  // it; the camera, toggles and brightness as the frame ends; the ghost, the snow, the HUD's texts
  // (the objects drawn are the lit pass's own count) and overlays, the window's framebuffer. The
  // draw reads this and nothing of the Session, the options or the toggles.
  struct FrameView {
    FrameKind kind = FrameKind::Playing;
    DrawList shadow;
    RasterToggles shadowToggles;
    DrawList lit;
    RasterToggles toggles;
    Camera camera;
    float brightness = 1.0f;
    std::optional<DrawList> ghost;  // the best run's vehicle, drawn translucent over the scene
    bool snow = false;              // the flakes (their simulation ran in the update)
    std::optional<HudTexts> hud;    // the five lines, when the HUD shows
    Overlay driveHud;
    std::optional<Overlay> screen;  // the pause or options screen, over the dimmed scene
    Overlay result;                 // the result screen's lines
    glm::ivec2 framebuffer{0};
  };

  int readSettingsFile();
  void keepShippedOptions(const std::string& shipped);
  void keepOptions();
  void keepRebinding();
  std::unique_ptr<InputSource> inputSource(std::unique_ptr<Replayer> replayer);
  bool newSession(std::unique_ptr<Replayer> replayer);
  void frame();
  float measureFrameTime();
  FrameKind frameKind() const;
  FrameView update(FrameKind kind, float dt);
  void finishView(FrameView& view, float dt);
  void draw(const FrameView& view);
  void drawPlayScene(const FrameView& view);
  DrawList drawList() const;
  void floorFrame();
  void measureFloor();
  void handleInput(InputFrame polled, FrameKind kind);
  void applyEvent(const InputEvent& event, FrameKind kind);
  void applyAction(Action action, FrameKind kind);
  void applyMenuEvent(const InputEvent& event);
  InputFrame withFocusPause(InputFrame polled, FrameKind kind) const;
  void updateCamera(float dt);
  DriveView driveView() const;
  void noteDelivery();
  void updateSnow(float dt);
  void present();
  void endFrame();
  void waitOutSlowFrame();
  void keepResult();
  bool finishRun();
  void retry();
  void chooseRenderScale(float dt);

  const DevFlags& flags_;
  AppState state_;  // the window's drawing size
  DebugToggles toggles_;
  FrameClock clock_;      // the FPS text starts at "60", its accumulator at 0
  int objectsDrawn_ = 0;  // by the last lit pass
  Settings settings_;     // every option, read live; read from settings.txt before anything starts
  // Declared in start-up order; torn down in reverse, the GLFW session last.
  std::unique_ptr<GameSound> sound_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<LiveInput> liveInput_;  // reads the platform's window
  std::unique_ptr<Renderer> renderer_;
  SceneAssets assets_;        // the renderer's handles of the game's models
  ModelData levelCollision_;  // read once; every run's world is built from it
  RecordingHeader header_;    // of every live run of this process
  std::unique_ptr<Session> session_;
  DevTools devTools_;
  long frame_ = 0;
  BestResult best_;
  std::string resultDetail_;  // under the result line once the run is won or lost
  float hudScale_ = 1.0f;     // the HUD shrunk to fit a small window
  float resultScale_ = 1.0f;  // and the result screen's smaller lines
  // The last delivery against the best run's, shown until the playing time passes `deltaUntil_`.
  std::optional<DeliveryDelta> delta_;
  double deltaUntil_ = 0.0;
  std::size_t deliveriesShown_ = 0;             // the run's deliveries whose delta has been shown
  std::optional<OptionsScreen> optionsScreen_;  // open over the pause screen
  std::array<bool, kActionCount> rebound_{};    // actions the options screen moved, for controls.txt
  bool replayDiverged_ = false;
  bool recordFailed_ = false;  // --record could not be written at the end of a run
  bool retryWanted_ = false;   // Enter or A this frame: a new run after it
  bool runFailed_ = false;     // a new run could not be made
  int run_ = 1;
  // Picks the scale while it is automatic, from the wall time between frames.
  RenderScaleController scaleController_;
  double lastFrameWall_ = -1.0;
  double sessionMs_ = 0.0;  // how long the last run took to make
};

}  // namespace ruvelo
