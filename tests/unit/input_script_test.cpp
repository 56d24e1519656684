// Input scripts: the lines tests and bug reports drive the game with, and their playback.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <sstream>

#include "input/input_script.h"
#include "input/key_names.h"
#include "input/scripted_input.h"
#include "platform/regular_file.h"

namespace ruvelo {
namespace {

TEST(InputScript, ParsesKeysCommentsAndSortsByFrame) {
  std::istringstream in(
      "# drive forwards\n"
      "5 W press\n"
      "2 F3 release   # toggle debug\n"
      "\n"
      "5 LEFT_SHIFT press\n"
      "9 SPACE release\n"
      "9 ESCAPE release\n");
  std::vector<ScriptedKey> keys;
  std::string error;
  ASSERT_TRUE(parseInputScript(in, keys, error)) << error;
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].frame, 2);
  EXPECT_EQ(keys[0].key, GLFW_KEY_F3);
  EXPECT_FALSE(keys[0].press);
  EXPECT_EQ(keys[1].key, GLFW_KEY_W);
  EXPECT_EQ(keys[2].key, GLFW_KEY_LEFT_SHIFT) << "file order is kept within a frame";
  EXPECT_EQ(keys[3].key, GLFW_KEY_SPACE);
  EXPECT_EQ(keys[4].key, GLFW_KEY_ESCAPE);
}

TEST(InputScript, RejectsMalformedLinesWithTheLineNumber) {
  for (const char* text : {"1 W\n", "x W press\n", "0 W press\n", "1 JUMP press\n", "1 W hold\n",
                           "1 W press now\n", "2 F26 press\n"}) {
    std::istringstream in(std::string("# header\n") + text);
    std::vector<ScriptedKey> keys;
    std::string error;
    EXPECT_FALSE(parseInputScript(in, keys, error)) << text;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

// What an editor or a careless file leaves: a byte-order mark in front (skipped, as in controls.txt),
// function keys spelled oddly (refused), and a name megabytes long (quoted only in part).
TEST(InputScript, MarksOddKeyNamesAndHugeNamesAreReadSoundly) {
  std::vector<ScriptedKey> keys;
  std::string error;
  ASSERT_TRUE(parseInputScript(std::string("\xEF\xBB\xBF"
                                           "1 W press\n"),
                               keys, error))
      << error;
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].key, GLFW_KEY_W);
  EXPECT_EQ(keyCodeFromName("F3"), GLFW_KEY_F3);
  EXPECT_EQ(keyCodeFromName("F25"), GLFW_KEY_F25);
  for (const char* odd : {"F03", "F+3", "F 3", "F0", "F-1", "F26", "F1x"})
    EXPECT_EQ(keyCodeFromName(odd), -1) << odd;

  const std::string huge(4 * 1024 * 1024, 'A');
  keys.clear();
  EXPECT_FALSE(parseInputScript("1 " + huge + " press\n", keys, error));
  EXPECT_EQ(error, "line 1: unknown key \"" + huge.substr(0, 80) + "\"... (4194304 bytes)");
  // A cut never splits a character: 79 ASCII bytes and then a two-byte one.
  EXPECT_EQ(quotedText(std::string(79, 'a') + "\xC3\xA9" + std::string(100, 'b')),
            "\"" + std::string(79, 'a') + "\"... (181 bytes)");
}

TEST(ScriptedInput, DeliversEachFrameOnceAndTracksHeldKeys) {
  ScriptedInput input({{2, GLFW_KEY_W, true}, {2, GLFW_KEY_A, true}, {4, GLFW_KEY_W, false}});
  std::vector<std::pair<int, int>> seen;
  auto record = [&](int key, int action) { seen.emplace_back(key, action); };
  input.deliver(1, record);
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(input.isHeld(GLFW_KEY_W));
  input.deliver(2, record);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(GLFW_KEY_W, GLFW_PRESS));
  EXPECT_TRUE(input.isHeld(GLFW_KEY_W));
  input.deliver(3, record);
  EXPECT_EQ(seen.size(), 2u) << "frame 2's events are not delivered twice";
  input.deliver(4, record);
  EXPECT_EQ(seen.back(), std::make_pair(GLFW_KEY_W, GLFW_RELEASE));
  EXPECT_FALSE(input.isHeld(GLFW_KEY_W));
  EXPECT_TRUE(input.isHeld(GLFW_KEY_A));
}

TEST(KeyNames, EveryNamedKeyReadsBackAsItsName) {
  for (int code = 0; code <= GLFW_KEY_LAST; ++code) {
    const std::string name = keyName(code);
    if (name.rfind("key ", 0) == 0) continue;
    EXPECT_EQ(keyCodeFromName(name), code) << name;
  }
  for (const char* name : {"W", "0", "F1", "F25", "SPACE", "LEFT_SHIFT", "RIGHT_ALT", "ESCAPE"})
    EXPECT_EQ(keyName(keyCodeFromName(name)), name);
  for (const char* unknown : {"", "w", "F0", "F26", "F03x", "JUMP", "LEFT SHIFT"})
    EXPECT_EQ(keyCodeFromName(unknown), -1) << unknown;
  // A name is the whole text: bytes after an embedded NUL are no end of it (found by fuzzing).
  EXPECT_EQ(keyCodeFromName(std::string("F6\0\0", 4)), -1);
  std::vector<ScriptedKey> script;
  std::string error;
  EXPECT_FALSE(parseInputScript(std::string("1\0 W press\n", 11), script, error));
}

}  // namespace
}  // namespace ruvelo
