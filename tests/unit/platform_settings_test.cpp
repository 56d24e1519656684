// The settings parser over the ways a real settings file goes right and wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/regular_file.h"
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
  p.result = parseSettings(in, p.s);
  return p;
}

TEST(Settings, EmptyFileKeepsEveryDefault) {
  const Parsed p = parse("");
  EXPECT_EQ(p.result.status, SettingsStatus::Ok);
  EXPECT_EQ(p.s.width(), 200);
  EXPECT_EQ(p.s.height(), 200);
  EXPECT_EQ(p.s.refresh_rate(), 150);
  EXPECT_TRUE(p.s.fullscreen());
  EXPECT_FLOAT_EQ(p.s.brightness(), 1.0f);
}

TEST(Settings, ReadsEveryKeyWithCrlfEndings) {
  const Parsed p =
      parse("width=1280\r\nheight=720\r\nrefresh_rate=60\r\nfullscreen=true\r\nbrightness=1.5\r\n");
  ASSERT_EQ(p.result.status, SettingsStatus::Ok) << p.result.message;
  EXPECT_EQ(p.s.width(), 1280);
  EXPECT_EQ(p.s.height(), 720);
  EXPECT_EQ(p.s.refresh_rate(), 60);
  EXPECT_TRUE(p.s.fullscreen()) << "the carriage return belongs to the line end, not to \"true\"";
  EXPECT_FLOAT_EQ(p.s.brightness(), 1.5f);
}

TEST(Settings, TheToggleOptionsReadStrictlyAndOnlyRealChangesCount) {
  const Parsed p = parse("snow=false\nhud=false\nsound=true\n");
  ASSERT_EQ(p.result.status, SettingsStatus::Ok) << p.result.message;
  EXPECT_FALSE(p.s.on(Option::Snow));
  EXPECT_FALSE(p.s.on(Option::Hud));
  EXPECT_TRUE(p.s.on(Option::Sound));
  EXPECT_TRUE(p.s.named(Option::Snow));
  EXPECT_FALSE(p.s.named(Option::Ghost));
  EXPECT_EQ(parse("hud=0\n").result.status, SettingsStatus::BadValue);
  Settings s = p.s;
  EXPECT_FALSE(s.anyKeptChanged()) << "what a file says is not a change";
  s.change(Option::Hud, 0.0);
  EXPECT_EQ(s.changes(Option::Hud), 0u) << "the same value again";
  s.change(Option::Volume, 0.5);
  EXPECT_EQ(s.changes(Option::Volume), 1u);
  EXPECT_FLOAT_EQ(s.volume(), 0.5f);
  s.change(Option::Width, 640);
  EXPECT_EQ(s.changes(Option::Width), 1u);
  EXPECT_TRUE(s.anyKeptChanged());
  EXPECT_EQ(optionInfo(Option::WindowSamples).applies, Applies::NextStart);
  EXPECT_EQ(optionInfo(Option::Brightness).applies, Applies::Now);
}

TEST(Settings, LenientNumbersAndTheFirstEquals) {
  EXPECT_EQ(parse("width = 1280").s.width(), 1280) << "a blank after = is skipped by the conversion";
  EXPECT_EQ(parse("width= 800px").s.width(), 800) << "conversion stops at the first non-digit";
  EXPECT_FLOAT_EQ(parse("brightness=0.7xyz").s.brightness(), 0.7f);
  EXPECT_EQ(parse("width=640=480").s.width(), 640) << "the value starts after the first =";
}

TEST(Settings, KeysMatchWholeAndEverythingElseIsIgnored) {
  const Parsed p = parse(
      "refresh_rate_width=60\nwindow_height=300\n# my width setting\nvolume_boost=3\n"
      "ghost_colour=red\n  height\t= 480\n");
  ASSERT_EQ(p.result.status, SettingsStatus::Ok) << p.result.message;
  EXPECT_EQ(p.s.width(), 200) << "a key inside a longer word is not the key";
  EXPECT_EQ(p.s.refresh_rate(), 150);
  EXPECT_EQ(p.s.height(), 480) << "blanks around the key are not part of it";
  EXPECT_FLOAT_EQ(p.s.volume(), 0.8f);
  EXPECT_TRUE(p.s.ghost());
  EXPECT_EQ(parse("colour=blue\n\n   \nvsync=1\n#width=abc").result.status, SettingsStatus::Ok)
      << "unknown lines and comments ignored";
}

TEST(Settings, OwnKeysAreStrictAndNoKeyTakesANonFiniteNumber) {
  for (const char* bad :
       {"volume=0.5x", "volume= 0.5", "volume=0.5 ", "volume=", "volume=inf", "ghost=true ", "ghost=yes",
        "ghost=", "brightness=nan", "brightness=-inf", "brightness=1e99", "width=inf", "height=nan"}) {
    const Parsed p = parse(std::string("width=320\n") + bad + "\nheight=240\n");
    EXPECT_EQ(p.result.status, SettingsStatus::BadValue) << bad;
    EXPECT_EQ(p.s.height(), 200) << "parsing stops at the refused line: " << bad;
  }
  const Parsed own = parse("volume=0.5\nghost=false\nbrightness=3.5\n");
  ASSERT_EQ(own.result.status, SettingsStatus::Ok) << own.result.message;
  EXPECT_FLOAT_EQ(own.s.volume(), 0.5f);
  EXPECT_FALSE(own.s.ghost());
  EXPECT_FLOAT_EQ(own.s.brightness(), 3.5f) << "outside 0.5-2.0 it stays until F5 or F6";
}

TEST(Settings, LaterLinesOverwriteEarlierOnes) {
  const Parsed p = parse("width=100\nwidth=300\nfullscreen=true\nfullscreen=false\n");
  EXPECT_EQ(p.s.width(), 300);
  EXPECT_FALSE(p.s.fullscreen());
}

TEST(Settings, FullscreenOnlyForTheExactWordTrue) {
  EXPECT_TRUE(parse("fullscreen=true").s.fullscreen());
  EXPECT_FALSE(parse("fullscreen=True").s.fullscreen());
  EXPECT_FALSE(parse("fullscreen= true").s.fullscreen());
  EXPECT_FALSE(parse("fullscreen=true ").s.fullscreen());
  EXPECT_FALSE(parse("fullscreen=1").s.fullscreen());
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
    return parseSettings(in, s);
  };
  EXPECT_EQ(parseVolume("width=320\n").status, SettingsStatus::Ok);
  EXPECT_FLOAT_EQ(s.volume(), 0.8f) << "a file without the key keeps the default";
  for (const char* good : {"0", "1", "0.25"}) {
    EXPECT_EQ(parseVolume(std::string("volume=") + good).status, SettingsStatus::Ok) << good;
    EXPECT_FLOAT_EQ(s.volume(), std::stof(good));
  }
  for (const char* bad : {"1.01", "-0.1", "nan", "loud"}) {
    const SettingsResult result = parseVolume(std::string("volume=") + bad);
    EXPECT_EQ(result.status, SettingsStatus::BadValue) << bad;
    EXPECT_NE(result.message.find(std::string("volume: \"") + bad + "\""), std::string::npos)
        << result.message;
  }
  EXPECT_FLOAT_EQ(s.volume(), 0.25f) << "a refused value leaves the last good one";
}

TEST(Settings, RenderScaleAndWindowSamplesTakeTheirRangesAndRefuseTheRest) {
  // Through the whole file reader, as the game reads it.
  const std::string dir = test::makeTempDir("ruvelo-settings");
  auto read = [&dir](const std::string& text, Settings& s) {
    const std::string path = dir + "/settings.txt";
    std::ofstream(path, std::ios::binary) << text;
    return readSettingsFile(path, path, s);
  };
  Settings absent;
  ASSERT_EQ(read("width=320\n", absent).status, SettingsStatus::Ok);
  EXPECT_FALSE(absent.renderScale().set) << "deterministic runs then draw at 1.0";
  EXPECT_TRUE(absent.renderScale().automatic);
  EXPECT_EQ(absent.windowSamples(), 4);

  Settings s;
  ASSERT_EQ(read("render_scale=auto\nwindow_samples=0\n", s).status, SettingsStatus::Ok);
  EXPECT_TRUE(s.renderScale().set);
  EXPECT_TRUE(s.renderScale().automatic);
  EXPECT_EQ(s.windowSamples(), 0);
  for (const char* good : {"0.35", "0.5", "0.75", "1.0", "1"}) {
    Settings fixed;
    ASSERT_EQ(read(std::string("render_scale=") + good + "\r\n", fixed).status, SettingsStatus::Ok) << good;
    EXPECT_TRUE(fixed.renderScale().set);
    EXPECT_FALSE(fixed.renderScale().automatic) << good;
    EXPECT_FLOAT_EQ(fixed.renderScale().value, std::stof(good));
  }
  for (int samples : {0, 2, 4, 8}) {
    Settings fixed;
    ASSERT_EQ(read("window_samples=" + std::to_string(samples), fixed).status, SettingsStatus::Ok);
    EXPECT_EQ(fixed.windowSamples(), samples);
  }
  // Refusals name the key and the value, and the file.
  const std::pair<const char*, const char*> bad[] = {
      {"render_scale", "0.34"}, {"render_scale", "1.01"}, {"render_scale", "Auto"},
      {"render_scale", ""},     {"render_scale", "nan"},  {"window_samples", "3"},
      {"window_samples", "16"}, {"window_samples", "-4"}, {"window_samples", "many"}};
  for (const auto& [key, value] : bad) {
    Settings refused;
    const SettingsResult result = read(std::string(key) + "=" + value + "\n", refused);
    EXPECT_EQ(result.status, SettingsStatus::BadValue) << key << "=" << value;
    EXPECT_NE(result.message.find(std::string(key) + ": \"" + value + "\""), std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find(dir), std::string::npos) << result.message;
  }
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
  std::istringstream tiny("brightness=1e-50\n");
  const SettingsResult r = parseSettings(tiny, s);
  ASSERT_EQ(r.status, SettingsStatus::Ok) << "underflow is zero, not out of range: " << r.message;
  EXPECT_EQ(s.brightness(), 0.0f);
}

// The strict keys take a value written one plain way only; every other spelling of a number in
// range (sign, leading zero, exponent, hex, "4.0" for a count, a NUL and junk) is refused by name.
TEST(Settings, StrictKeysRefuseEveryOddSpellingOfAGoodValue) {
  const std::pair<const char*, std::string> odd[] = {
      {"volume", "0x1p-1"},       {"volume", "+0.5"},
      {"volume", "00.5"},         {"volume", "5e-1"},
      {"volume", "-0"},           {"volume", ".5"},
      {"volume", "0."},           {"volume", std::string("0.5\0junk", 8)},
      {"render_scale", "0x1p-1"}, {"render_scale", "+1"},
      {"render_scale", "01"},     {"render_scale", "1e0"},
      {"window_samples", "04"},   {"window_samples", "+4"},
      {"window_samples", "4.0"},  {"window_samples", "4e0"},
      {"window_samples", "0x4"},  {"window_samples", " 4"}};
  for (const auto& [key, value] : odd) {
    const Parsed p = parse(std::string(key) + "=" + value + "\n");
    EXPECT_EQ(p.result.status, SettingsStatus::BadValue) << key << "=" << printable(value);
    EXPECT_NE(p.result.message.find(quotedText(value)), std::string::npos) << p.result.message;
  }
  const Parsed plain = parse("volume=0.50\nrender_scale=0.75\nwindow_samples=8\n");
  ASSERT_EQ(plain.result.status, SettingsStatus::Ok) << plain.result.message;
  EXPECT_FLOAT_EQ(plain.s.volume(), 0.5f);
  EXPECT_FLOAT_EQ(plain.s.renderScale().value, 0.75f);
  EXPECT_EQ(plain.s.windowSamples(), 8);
}

TEST(Settings, MissingFileIsReportedNotParsed) {
  Settings s;
  const auto dir = test::makeTempDir("ruvelo-settings");
  const SettingsResult r = readSettings(dir + "/absent.txt", s);
  EXPECT_EQ(r.status, SettingsStatus::FileMissing);
  EXPECT_EQ(r.message, "Unable to open file settings.txt");

  // A directory or a device opens but is no settings file: the same message, not the defaults.
  for (const std::string& notAFile : {dir, std::string("/dev/null")}) {
    const SettingsResult refused = readSettings(notAFile, s);
    EXPECT_EQ(refused.status, SettingsStatus::FileMissing) << notAFile;
    EXPECT_EQ(refused.message, "Unable to open file settings.txt");
  }

  std::ofstream(dir + "/settings.txt") << "width=320\nheight=240\n";
  const SettingsResult ok = readSettings(dir + "/settings.txt", s);
  EXPECT_EQ(ok.status, SettingsStatus::Ok);
  EXPECT_EQ(s.width(), 320);
  EXPECT_EQ(s.height(), 240);
}

TEST(Settings, WrittenBackOnlyWhereChangedAndNeverOverAFileItCannotRead) {
  Settings s;
  s.change(Option::Volume, 0.5);
  s.change(Option::RenderScale, kRenderScaleAuto);  // already auto: no change
  s.change(Option::Snow, 0.0);
  s.change(Option::Width, 640);  // not kept
  EXPECT_EQ(rewriteSettings("# mine\r\nvolume=0.8\r\nvolume_boost=3\n\nwidth=1\nvolume=0.9", s),
            "# mine\r\nvolume=0.5\r\nvolume_boost=3\n\nwidth=1\nvolume=0.5\nsnow=false\n");
  EXPECT_EQ(rewriteSettings("", s), "volume=0.5\nsnow=false\n");
  Settings back;
  std::istringstream in(rewriteSettings("", s));
  ASSERT_EQ(parseSettings(in, back).status, SettingsStatus::Ok);
  EXPECT_FLOAT_EQ(back.volume(), 0.5f);
  EXPECT_EQ(settingValueText(Option::Brightness, static_cast<float>(1.1)), "1.1");
  EXPECT_EQ(settingValueText(Option::RenderScale, 0.75), "0.75");

  const std::string dir = test::makeTempDir("ruvelo-settings");
  std::ofstream(dir + "/shipped.txt") << "# shipped\nwidth=320\n";
  EXPECT_EQ(keepChangedSettings(dir + "/config", dir + "/shipped.txt", Settings()), "");
  EXPECT_FALSE(std::ifstream(dir + "/config/settings.txt").good()) << "nothing changed, no file";
  EXPECT_EQ(keepChangedSettings(dir + "/config", dir + "/shipped.txt", s), "");
  EXPECT_EQ(test::readWholeFile(dir + "/config/settings.txt"),
            "# shipped\nwidth=320\nvolume=0.5\nsnow=false\n");
  EXPECT_EQ(test::readWholeFile(dir + "/shipped.txt"), "# shipped\nwidth=320\n");
  std::filesystem::create_directories(dir + "/other/settings.txt");
  EXPECT_NE(keepChangedSettings(dir + "/other", dir + "/shipped.txt", s).find("cannot be read"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(dir + "/other/settings.txt"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ruvelo
