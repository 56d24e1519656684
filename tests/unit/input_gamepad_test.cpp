// The gamepad's dead zones and curve, controls.txt, the mapping of keys and a gamepad onto the
// driving command, and gamepad lines in input scripts.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "input/controls.h"
#include "input/gamepad.h"
#include "input/input_script.h"
#include "input/scripted_input.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

// Sweeps the input range (and beyond) finely; a shaping function must be odd or start at rest,
// monotonic, within [-1, 1], and continuous everywhere: no step larger than its steepest slope
// allows, in particular none at the dead zone's edge.
TEST(GamepadShaping, StickIsSymmetricMonotonicContinuousAndReachesItsEnds) {
  const double h = 1e-4;
  const double maxSlope = kStickExponent / (1.0 - kStickDeadZone);  // at full travel
  float previous = shapeStick(-1.5f);
  for (double v = -1.5 + h; v <= 1.5; v += h) {
    const float out = shapeStick(static_cast<float>(v));
    ASSERT_EQ(out, -shapeStick(static_cast<float>(-v))) << v;
    ASSERT_GE(out, previous) << v;
    ASSERT_LE(out - previous, maxSlope * h * 1.01 + 1e-6) << v;
    ASSERT_LE(std::fabs(out), 1.0f) << v;
    if (std::fabs(v) <= kStickDeadZone) {
      ASSERT_EQ(out, 0.0f) << v;
    }
    previous = out;
  }
  EXPECT_EQ(shapeStick(1.0f), 1.0f);
  EXPECT_EQ(shapeStick(-1.0f), -1.0f);
  EXPECT_EQ(shapeStick(3.0f), 1.0f) << "past the end counts as the end";
  EXPECT_LT(shapeStick(kStickDeadZone + 0.01f), 0.002f) << "steering starts from zero at the edge";
  // The curve: half the travel past the dead zone gives 0.5^1.5 of the steer.
  EXPECT_NEAR(shapeStick(kStickDeadZone + 0.5f * (1.0f - kStickDeadZone)), std::pow(0.5, 1.5), 1e-5);
  EXPECT_EQ(shapeStick(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(GamepadShaping, TriggerRestsAtZeroAndRisesSteadilyToFull) {
  const double h = 1e-4;
  const double maxSlope = 0.5 / (1.0 - kTriggerDeadZone);
  float previous = shapeTrigger(-1.2f);
  for (double v = -1.2 + h; v <= 1.2; v += h) {
    const float out = shapeTrigger(static_cast<float>(v));
    ASSERT_GE(out, previous) << v;
    ASSERT_LE(out - previous, maxSlope * h * 1.01 + 1e-6) << v;
    ASSERT_GE(out, 0.0f);
    ASSERT_LE(out, 1.0f);
    previous = out;
  }
  EXPECT_EQ(shapeTrigger(-1.0f), 0.0f) << "at rest";
  EXPECT_EQ(shapeTrigger(-1.0f + 2.0f * kTriggerDeadZone - 1e-3f), 0.0f) << "inside the dead zone";
  EXPECT_EQ(shapeTrigger(1.0f), 1.0f);
  EXPECT_EQ(shapeTrigger(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

bool parse(const std::string& text, Controls& controls, std::string& error) {
  controls = Controls::defaults();
  return parseControls(text, "controls.txt", controls, error);
}

TEST(ControlsFile, LinesReplaceTheirActionsDefaultsOnly) {
  Controls c;
  std::string error;
  ASSERT_TRUE(
      parse("# arrows and the right stick\r\n"
            "accelerate = UP, GAMEPAD_RIGHT_Y-\r\n"
            "\n"
            "reverse=DOWN\n"
            "steer_left=LEFT,GAMEPAD_DPAD_LEFT   # and the pad's cross\n"
            "steer_right=RIGHT,GAMEPAD_LEFT_X+\n",
            c, error))
      << error;
  const Binding up{Binding::Kind::Key, GLFW_KEY_UP, 1};
  const Binding stickUp{Binding::Kind::GamepadAxis, GLFW_GAMEPAD_AXIS_RIGHT_Y, -1};
  EXPECT_EQ(c.of(Action::Accelerate), (std::vector<Binding>{up, stickUp}));
  EXPECT_EQ(c.of(Action::Reverse).size(), 1u) << "the left trigger left reverse with S";
  EXPECT_EQ(c.of(Action::Brake), Controls::defaults().of(Action::Brake)) << "actions not named keep theirs";
  EXPECT_FALSE(c.keyBoundTo(Action::Accelerate, GLFW_KEY_W));
  EXPECT_TRUE(c.keyBoundTo(Action::ReverseCamera, GLFW_KEY_R));
  EXPECT_EQ(bindingName(stickUp), "GAMEPAD_RIGHT_Y-");
  EXPECT_EQ(bindingName(up), "UP");
  // A freed default may be taken by another action.
  ASSERT_TRUE(parse("reverse_camera=N\nrecover=R\n", c, error)) << error;
  EXPECT_TRUE(c.keyBoundTo(Action::Recover, GLFW_KEY_R));
}

TEST(ControlsFile, EveryActionCanBeMovedButEscapeStaysOnQuit) {
  Controls c;
  std::string error;
  ASSERT_TRUE(parse("recover=V\npause=SPACE,GAMEPAD_LEFT_THUMB\ntoggle_snow=F8\ntoggle_frustum=F7\nquit=Q\n",
                    c, error))
      << error;
  Action action = Action::Accelerate;
  ASSERT_TRUE(c.actionOfKey(GLFW_KEY_SPACE, action));
  EXPECT_EQ(action, Action::Pause);
  EXPECT_FALSE(c.actionOfKey(GLFW_KEY_P, action)) << "P is free once pause has moved";
  ASSERT_TRUE(c.actionOfKey(GLFW_KEY_F8, action));
  EXPECT_EQ(action, Action::ToggleSnow);
  ASSERT_TRUE(c.actionOfKey(GLFW_KEY_ESCAPE, action));
  EXPECT_EQ(action, Action::Quit);
  EXPECT_TRUE(c.keyBoundTo(Action::Quit, GLFW_KEY_Q));
  GamepadState pad;
  pad.buttons[GLFW_GAMEPAD_BUTTON_LEFT_THUMB] = true;
  EXPECT_TRUE(padPressed(c, Action::Pause, &pad));
  EXPECT_FALSE(padPressed(c, Action::Pause, nullptr));
  // The defaults are today's keys, and each input answers to one action.
  const Controls d = Controls::defaults();
  for (auto [key, expected] : {std::pair{GLFW_KEY_P, Action::Pause},
                               {GLFW_KEY_ENTER, Action::Retry},
                               {GLFW_KEY_F7, Action::ToggleSnow},
                               {GLFW_KEY_F10, Action::RenderScale},
                               {GLFW_KEY_M, Action::Mute},
                               {GLFW_KEY_G, Action::ToggleGhost}}) {
    ASSERT_TRUE(d.actionOfKey(key, action)) << key;
    EXPECT_EQ(action, expected) << key;
  }
}

TEST(ControlsFile, ARebindingIsWrittenIntoItsLineAndEverythingElseStays) {
  Controls c;
  std::string error;
  ASSERT_TRUE(parse("# mine\r\nbrake=N\r\n\naccelerate = W\n", c, error)) << error;
  c.bindings[static_cast<int>(Action::Accelerate)] = {Binding{Binding::Kind::Key, GLFW_KEY_UP, 1}};
  c.bindings[static_cast<int>(Action::Recover)] = {
      Binding{Binding::Kind::GamepadButton, GLFW_GAMEPAD_BUTTON_Y, 1}};
  std::array<bool, kActionCount> changed{};
  changed[static_cast<int>(Action::Accelerate)] = changed[static_cast<int>(Action::Recover)] = true;
  const std::string written = rewriteControls("# mine\r\nbrake=N\r\n\naccelerate = W\n", c, changed);
  EXPECT_EQ(written, "# mine\r\nbrake=N\r\n\naccelerate=UP\nrecover=GAMEPAD_Y\n");
  Controls back;
  ASSERT_TRUE(parse(written, back, error)) << error;
  EXPECT_EQ(back.bindings, c.bindings);
}

TEST(ControlsFile, BadLinesAreNamedByFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"accelerate W\n", "controls.txt:1: expected \"action=NAME[,NAME...]\""},
      {"\n\nboost=W\n", "controls.txt:3: unknown action \"boost\""},
      {"brake=\n", "controls.txt:1: no key or gamepad input named for brake"},
      {"brake=B,,N\n", "controls.txt:1: an empty name in the list of brake"},
      {"brake=B,\n", "controls.txt:1: an empty name in the list of brake"},
      {"brake=JUMP\n", "controls.txt:1: unknown key \"JUMP\""},
      {"brake=ESCAPE\n", "controls.txt:1: ESCAPE always quits and cannot be bound to brake"},
      {"pause=P,ESCAPE\n", "controls.txt:1: ESCAPE always quits and cannot be bound to pause"},
      {"brake=M\n", "controls.txt:1: M is bound to both brake and mute (mute by default)"},
      {"recover=G\n", "G is bound to both recover and toggle_ghost (toggle_ghost by default)"},
      {"accelerate=P\n", "controls.txt:1: P is bound to both accelerate and pause (pause by default)"},
      {"pause=SPACE\n", "SPACE is bound to both recover and pause (recover by default)"},
      {"brake=GAMEPAD_Z\n", "controls.txt:1: unknown gamepad input \"GAMEPAD_Z\""},
      {"brake=GAMEPAD_A+\n", "controls.txt:1: unknown gamepad input \"GAMEPAD_A+\""},
      {"brake=GAMEPAD_LEFT_TRIGGER-\n", "unknown gamepad input"},
      {"brake=GAMEPAD_LEFT_Y\n", "GAMEPAD_LEFT_Y needs a direction: GAMEPAD_LEFT_Y- or GAMEPAD_LEFT_Y+"},
      {"brake=N,N\n", "controls.txt:1: N is listed twice"},
      {"brake=N\nbrake=M\n", "controls.txt:2: brake is already set on line 1"},
      // One input, two actions: reported at the later line, whether the other is a default or not.
      {"recover=GAMEPAD_X\n",
       "controls.txt:1: GAMEPAD_X is bound to both brake and recover (brake by default)"},
      {"brake=N\n\nrecover=Y,N\n", "controls.txt:3: N is bound to both brake and recover"},
      {"steer_right=GAMEPAD_LEFT_X-\n", "GAMEPAD_LEFT_X- is bound to both steer_left and steer_right"},
  };
  for (const auto& c : cases) {
    Controls controls;
    std::string error;
    EXPECT_FALSE(parse(c.text, controls, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(ControlsFile, AByteOrderMarkIsSkippedAndControlBytesAreShownEscaped) {
  Controls c;
  std::string error;
  ASSERT_TRUE(
      parse("\xEF\xBB\xBF"
            "accelerate=UP\n",
            c, error))
      << error;
  EXPECT_TRUE(c.keyBoundTo(Action::Accelerate, GLFW_KEY_UP));

  EXPECT_FALSE(parse(std::string("brake\0\r\x1b=W\n", 11), c, error));
  EXPECT_EQ(error.substr(0, error.find(" (actions")),
            "controls.txt:1: unknown action \"brake\\x00\\x0d\\x1b\"");
  EXPECT_FALSE(parse(std::string("brake=N\0\n", 9), c, error));
  EXPECT_EQ(error, "controls.txt:1: unknown key \"N\\x00\"");
}

TEST(ControlsMapping, KeysSetFlagsAndTheGamepadSetsShapedAmounts) {
  const Controls defaults = Controls::defaults();
  auto keys = [](std::vector<int> held) {
    return [held](int key) { return std::find(held.begin(), held.end(), key) != held.end(); };
  };
  // The command steers as the vehicle does: D (the driver's right) is towards -x, turnRight.
  DriveCommand c = mapDriving(defaults, keys({GLFW_KEY_W, GLFW_KEY_D, GLFW_KEY_SPACE}), nullptr);
  EXPECT_TRUE(c.forward && c.turnRight && c.recover);
  EXPECT_FALSE(c.reverse || c.turnLeft || c.brake);
  EXPECT_EQ(c.forwardAmount, 0.0f);

  GamepadState pad;
  EXPECT_FALSE(mapDriving(defaults, keys({}), &pad).any()) << "a pad at rest asks for nothing";
  pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -0.55f;
  pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1.0f;
  pad.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = 0.0f;
  pad.buttons[GLFW_GAMEPAD_BUTTON_X] = true;
  pad.buttons[GLFW_GAMEPAD_BUTTON_Y] = true;
  c = mapDriving(defaults, keys({}), &pad);
  EXPECT_FALSE(c.forward || c.turnLeft) << "the pad never sets the key flags";
  EXPECT_EQ(c.forwardAmount, 1.0f);
  EXPECT_FLOAT_EQ(c.reverseAmount, shapeTrigger(0.0f));
  EXPECT_FLOAT_EQ(c.steerAmount, -shapeStick(-0.55f)) << "the stick to the left turns towards +x, as A";
  EXPECT_EQ(c.brakeAmount, 1.0f);
  EXPECT_TRUE(c.recover);

  // A stick half bound to a throttle, and an axis bound to a button-like action.
  Controls rebound = Controls::defaults();
  std::string error;
  ASSERT_TRUE(
      parseControls("accelerate=GAMEPAD_RIGHT_Y-\nrecover=GAMEPAD_RIGHT_TRIGGER\n", "c", rebound, error))
      << error;
  GamepadState stick;
  stick.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = -1.0f;
  stick.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = -0.2f;  // pulled 40 %: not yet pressed
  c = mapDriving(rebound, keys({}), &stick);
  EXPECT_EQ(c.forwardAmount, 1.0f);
  EXPECT_FALSE(c.recover);
  stick.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = 1.0f;  // pushed the other way
  stick.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 0.5f;
  c = mapDriving(rebound, keys({}), &stick);
  EXPECT_EQ(c.forwardAmount, 0.0f);
  EXPECT_TRUE(c.recover);
}

TEST(InputScript, GamepadLinesMoveTheScriptedGamepadAndAreNotKeys) {
  std::istringstream in(
      "3 GAMEPAD_AXIS RIGHT_TRIGGER 0.25\n"
      "1 W press\n"
      "3 GAMEPAD_BUTTON RIGHT_BUMPER press\n"
      "5 GAMEPAD_AXIS LEFT_X -1\n"
      "6 GAMEPAD_BUTTON RIGHT_BUMPER release\n");
  std::vector<ScriptedKey> events;
  std::string error;
  ASSERT_TRUE(parseInputScript(in, events, error)) << error;
  ScriptedInput script(events);
  EXPECT_TRUE(script.hasGamepad());
  int keyEvents = 0;
  auto count = [&](int, int) { ++keyEvents; };
  for (long frame = 1; frame <= 4; ++frame) script.deliver(frame, count);
  EXPECT_EQ(keyEvents, 1);
  EXPECT_EQ(script.gamepad().axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER], 0.25f);
  EXPECT_EQ(script.gamepad().axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER], -1.0f) << "untouched: at rest";
  EXPECT_TRUE(script.gamepad().buttons[GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER]);
  script.deliver(5, count);
  script.deliver(6, count);
  EXPECT_EQ(script.gamepad().axes[GLFW_GAMEPAD_AXIS_LEFT_X], -1.0f);
  EXPECT_FALSE(script.gamepad().buttons[GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER]);
  EXPECT_FALSE(ScriptedInput({{1, GLFW_KEY_W, true}}).hasGamepad());

  // A value too small for a float is zero, not out of range.
  std::istringstream tiny("1 GAMEPAD_AXIS LEFT_X 1e-50\n2 GAMEPAD_AXIS LEFT_Y -1e-45\n");
  std::vector<ScriptedKey> tinyEvents;
  ASSERT_TRUE(parseInputScript(tiny, tinyEvents, error)) << error;
  ASSERT_EQ(tinyEvents.size(), 2u);
  EXPECT_EQ(tinyEvents[0].value, 0.0f);
  EXPECT_EQ(tinyEvents[1].value, 0.0f);

  for (const char* bad :
       {"1 GAMEPAD_AXIS LEFT_X 1.5\n", "1 GAMEPAD_AXIS LEFT_X nan\n", "1 GAMEPAD_AXIS LEFT_X\n",
        "1 GAMEPAD_AXIS A 0\n", "1 GAMEPAD_BUTTON LEFT_X press\n", "1 GAMEPAD_BUTTON A hold\n",
        "0 GAMEPAD_BUTTON A press\n", "1 GAMEPAD_BUTTON A press now\n"}) {
    std::istringstream line(std::string("# header\n") + bad);
    std::vector<ScriptedKey> none;
    EXPECT_FALSE(parseInputScript(line, none, error)) << bad;
    EXPECT_NE(error.find("line 2: "), std::string::npos) << error;
  }
}

// XDG_CONFIG_HOME naming a file: controls.txt refuses with one line naming it; a plainly absent
// file is the defaults.
TEST(Controls, AConfigFolderThatIsAFileIsNamed) {
  const std::string dir = test::makeTempDir("controls_dirs");
  const std::string notAFolder = dir + "/config";
  std::ofstream(notAFolder) << "accelerate=W\n";
  test::ScopedEnv config("XDG_CONFIG_HOME", notAFolder.c_str());
  Controls controls;
  std::string error;
  EXPECT_FALSE(loadControls(controls, error));
  EXPECT_EQ(error, notAFolder + "/ruvelo/controls.txt: " + notAFolder + " is not a folder");

  test::ScopedEnv absent("XDG_CONFIG_HOME", (dir + "/nothing").c_str());
  EXPECT_TRUE(loadControls(controls, error)) << error;
}

}  // namespace
}  // namespace ruvelo
