// One run of the game: start-up in its fixed order, the frame loop and teardown. The frame reads as
// the design's frame order, one named step after another.
#pragma once

#include <memory>
#include <optional>

#include "app/app_state.h"
#include "game/autopilot.h"
#include "game/best_result.h"
#include "devtools/dev_flags.h"
#include "devtools/dev_tools.h"
#include "game/game.h"
#include "app/game_sound.h"
#include "platform/platform.h"
#include "replay/run_recorder.h"
#include "platform/settings.h"
#include "passes/renderer.h"
#include "physics/game_world.h"

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
  // kFlagFailedStatus when a developer flag failed while the game ran.
  int run();

 private:
  int readSettingsFile(Settings& settings);
  int buildWorld();
  void frame();
  float measureFrameTime();
  DrawList drawList() const;
  void playFrame(float dt);
  void resultFrame();
  void floorFrame();
  void measureFloor();
  void handleTriggers(const std::optional<ItemEvent>& event);
  void readDrivingInput(float dt);
  DriveCommand autopilotCommand(const DriveCommand& player, float dt);
  void handleInput(InputFrame polled);
  void updateCamera(float dt);
  void drawHud(float dt);
  void drawSnow(float dt);
  void present();
  void endFrame();
  void keepResult();
  void loadGhost(std::ostream& err);
  void drawGhost();

  const DevFlags& flags_;
  AppState state_;  // the FPS text starts at "60", its accumulator at 0
  // Declared in start-up order; torn down in reverse, the GLFW session last.
  std::unique_ptr<GameSound> sound_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<GameWorld> world_;
  Game game_;
  DevTools devTools_;
  InputFrame input_;  // the last poll's: its held keys drive the next step
  std::optional<Autopilot> autopilot_;
  glm::vec3 lastFollowDirection_{0.0f, 0.0f, 1.0f};
  long frame_ = 0;
  RunRecorder recorder_;
  BestResult best_;
  std::string resultDetail_;  // under the result line once the run is won
  bool replayDiverged_ = false;
  // The best run's vehicle: its poses on the playing time, and this run's playing time.
  std::optional<GhostPath> ghost_;
  std::array<Pose, 4> ghostWheels_{};  // the wheels' places at rest
  double playTime_ = 0.0;
};

}  // namespace ruvelo
