// The settings parser over the ways a real settings file goes right and wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/settings.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

struct Parsed {
  Settings s;
  SettingsResult result;
};

Parsed parse(const std::string& text) {
  Parsed p;
  std::istringstream in(text);
  p.result = parseSettings(in, p.s.width, p.s.height, p.s.refresh_rate, p.s.fullscreen, p.s.brightness);
  return p;
}

TEST(Settings, EmptyFileKeepsEveryDefault) {
  const Parsed p = parse("");
  EXPECT_EQ(p.result.status, SettingsStatus::Ok);
  EXPECT_EQ(p.s.width, 200);
  EXPECT_EQ(p.s.height, 200);
  EXPECT_EQ(p.s.refresh_rate, 150);
  EXPECT_TRUE(p.s.fullscreen);
  EXPECT_FLOAT_EQ(p.s.brightness, 1.0f);
}

TEST(Settings, ReadsEveryKeyWithCrlfEndings) {
  const Parsed p =
      parse("width=1280\r\nheight=720\r\nrefresh_rate=60\r\nfullscreen=true\r\nbrightness=1.5\r\n");
  ASSERT_EQ(p.result.status, SettingsStatus::Ok) << p.result.message;
  EXPECT_EQ(p.s.width, 1280);
  EXPECT_EQ(p.s.height, 720);
  EXPECT_EQ(p.s.refresh_rate, 60);
  EXPECT_TRUE(p.s.fullscreen) << "the carriage return belongs to the line end, not to \"true\"";
  EXPECT_FLOAT_EQ(p.s.brightness, 1.5f);
}

TEST(Settings, LenientNumbersAndTheFirstEquals) {
  EXPECT_EQ(parse("width = 1280").s.width, 1280) << "a blank after = is skipped by the conversion";
  EXPECT_EQ(parse("width= 800px").s.width, 800) << "conversion stops at the first non-digit";
  EXPECT_FLOAT_EQ(parse("brightness=0.7xyz").s.brightness, 0.7f);
  EXPECT_EQ(parse("width=640=480").s.width, 640) << "the value starts after the first =";
}

TEST(Settings, KeysAreFoundBySubstringInFixedOrder) {
  const Parsed p = parse("refresh_rate_width=60\n");
  EXPECT_EQ(p.s.width, 60) << "width is tested before refresh_rate";
  EXPECT_EQ(p.s.refresh_rate, 150);
  EXPECT_EQ(parse("window_height=300").s.height, 300);
  EXPECT_EQ(parse("colour=blue\n\n   \nvsync=1").result.status, SettingsStatus::Ok)
      << "unknown lines ignored";
}

TEST(Settings, LaterLinesOverwriteEarlierOnes) {
  const Parsed p = parse("width=100\nwidth=300\nfullscreen=true\nfullscreen=false\n");
  EXPECT_EQ(p.s.width, 300);
  EXPECT_FALSE(p.s.fullscreen);
}

TEST(Settings, FullscreenOnlyForTheExactWordTrue) {
  EXPECT_TRUE(parse("fullscreen=true").s.fullscreen);
  EXPECT_FALSE(parse("fullscreen=True").s.fullscreen);
  EXPECT_FALSE(parse("fullscreen= true").s.fullscreen);
  EXPECT_FALSE(parse("fullscreen=true ").s.fullscreen);
  EXPECT_FALSE(parse("fullscreen=1").s.fullscreen);
}

TEST(Settings, BadValuesStopWithAMessageNamingKeyAndValue) {
  struct Case {
    const char* text;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"width=abc", "width", "abc"},
      {"height=", "height", ""},
      {"refresh_rate=   ", "refresh_rate", "   "},
      {"brightness=bright", "brightness", "bright"},
      {"width", "width", "width"},  // a key word and no "="
      {"width=99999999999999999999", "width", "99999999999999999999"},
      {"height=0", "height", "0"},
      {"width=-640", "width", "-640"},
      {"brightness=1e99", "brightness", "1e99"},
      {"brightness=nan", "brightness", "nan"},
      {"refresh_rate=3000000000", "refresh_rate", "3000000000"},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.text);
    EXPECT_EQ(p.result.status, SettingsStatus::BadValue) << c.text;
    EXPECT_NE(p.result.message.find(c.key), std::string::npos) << p.result.message;
    EXPECT_NE(p.result.message.find(std::string("\"") + c.value + "\""), std::string::npos)
        << p.result.message;
    EXPECT_EQ(p.result.message.find('\n'), std::string::npos) << "one line";
  }
}

TEST(Settings, VolumeIsReadWithinZeroToOneAndRefusedOutside) {
  Settings s;
  auto parseVolume = [&s](const std::string& text) {
    std::istringstream in(text);
    return parseSettings(in, s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness, &s.volume);
  };
  EXPECT_EQ(parseVolume("width=320\n").status, SettingsStatus::Ok);
  EXPECT_FLOAT_EQ(s.volume, 0.8f) << "a file without the key keeps the default";
  for (const char* good : {"0", "1", "0.25"}) {
    EXPECT_EQ(parseVolume(std::string("volume=") + good).status, SettingsStatus::Ok) << good;
    EXPECT_FLOAT_EQ(s.volume, std::stof(good));
  }
  for (const char* bad : {"1.01", "-0.1", "nan", "loud"}) {
    const SettingsResult result = parseVolume(std::string("volume=") + bad);
    EXPECT_EQ(result.status, SettingsStatus::BadValue) << bad;
    EXPECT_NE(result.message.find(std::string("volume: \"") + bad + "\""), std::string::npos)
        << result.message;
  }
  EXPECT_FLOAT_EQ(s.volume, 0.25f) << "a refused value leaves the last good one";
}

// What a text editor or a damaged file leaves: a byte-order mark in front of the first key, bytes
// that would break the message's one line, a number too small for a float.
TEST(Settings, ByteOrderMarkControlBytesAndUnderflowAreReadSoundly) {
  const Parsed marked = parse("\xEF\xBB\xBFwidth");
  ASSERT_EQ(marked.result.status, SettingsStatus::BadValue);
  EXPECT_NE(marked.result.message.find(": \"width\" (no \"=\")"), std::string::npos)
      << "the mark is no part of the line: " << marked.result.message;

  const Parsed nul = parse(std::string("height=\0\x1b[2J\x7f", 13));
  ASSERT_EQ(nul.result.status, SettingsStatus::BadValue);
  EXPECT_EQ(nul.result.message, "Invalid settings value for height: \"\\x00\\x1b[2J\\x7f\" (not a number)");

  Settings s;
  std::istringstream tiny("brightness=1e-50\nvolume=-1e-50\n");
  const SettingsResult r =
      parseSettings(tiny, s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness, &s.volume);
  ASSERT_EQ(r.status, SettingsStatus::Ok) << "underflow is zero, not out of range: " << r.message;
  EXPECT_EQ(s.brightness, 0.0f);
  EXPECT_EQ(s.volume, 0.0f);
}

TEST(Settings, MissingFileIsReportedNotParsed) {
  Settings s;
  const auto dir = test::makeTempDir("ruvelo-settings");
  const SettingsResult r =
      readSettings(dir + "/absent.txt", s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness);
  EXPECT_EQ(r.status, SettingsStatus::FileMissing);
  EXPECT_EQ(r.message, "Unable to open file settings.txt");

  // A directory or a device opens but is no settings file: the same message, not the defaults.
  for (const std::string& notAFile : {dir, std::string("/dev/null")}) {
    const SettingsResult refused =
        readSettings(notAFile, s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness);
    EXPECT_EQ(refused.status, SettingsStatus::FileMissing) << notAFile;
    EXPECT_EQ(refused.message, "Unable to open file settings.txt");
  }

  std::ofstream(dir + "/settings.txt") << "width=320\nheight=240\n";
  const SettingsResult ok =
      readSettings(dir + "/settings.txt", s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness);
  EXPECT_EQ(ok.status, SettingsStatus::Ok);
  EXPECT_EQ(s.width, 320);
  EXPECT_EQ(s.height, 240);
}

}  // namespace
}  // namespace ruvelo
