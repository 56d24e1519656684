// The vehicle's part of the debugger stream: the fields in their order, and a reading gone bad still
// written as JSON any reader accepts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "devtools/dev_tools.h"

namespace ruvelo {
namespace {

TEST(VehicleJson, NonFiniteReadingsAreNullAndTheFieldsKeepTheirOrder) {
  VehicleReading reading;
  reading.speed = std::numeric_limits<float>::infinity();
  reading.gear = 3;
  reading.wheels = {{0.25f, false, std::nanf(""), 1500.0f}, {0.0f, true, 4.0f, 0.0f}};
  const std::string text = vehicleJson(reading).dump();
  ASSERT_TRUE(nlohmann::json::accept(text)) << text;
  EXPECT_EQ(text.rfind(
                "{\"speed\":null,\"gear\":3,\"wheels\":[{\"jounce\":0.25,\"inAir\":false,\"omega\":null,", 0),
            0u)
      << text;
  const nlohmann::json back = nlohmann::json::parse(text);
  ASSERT_EQ(back["wheels"].size(), 2u);
  EXPECT_EQ(back["wheels"][1]["inAir"], true);
  EXPECT_EQ(back["wheels"][0]["load"], 1500.0);
}

}  // namespace
}  // namespace ruvelo
