// The sky faces form one seamless cube map in OpenGL's face conventions, the flake is a soft RGBA
// sprite, the HUD font has every printable ASCII glyph at 48 px, and the level map is written.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace {

const std::string kAssets = RUVELO_ASSET_DIR;

struct Picture {
  int width = 0, height = 0, channels = 0;
  std::vector<unsigned char> pixels;
  glm::vec3 rgb(int x, int y) const {
    const unsigned char* p = &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
    return glm::vec3(p[0], p[1], p[2]);
  }
};

Picture load(const std::string& path) {
  Picture pic;
  unsigned char* data = stbi_load(path.c_str(), &pic.width, &pic.height, &pic.channels, 0);
  if (data) {
    pic.pixels.assign(data, data + static_cast<std::size_t>(pic.width) * pic.height * pic.channels);
    stbi_image_free(data);
  }
  return pic;
}

// GL cube-map faces in upload order (+X, −X, +Y, −Y, +Z, −Z) and the files the game reads for them.
const std::array<const char*, 6> kFaceFiles = {"right2.jpg",  "left2.jpg",  "top.jpg",
                                               "bottom2.jpg", "front2.jpg", "back2.jpg"};

// OpenGL's table: major axis, then sc and tc; s = (sc/|ma| + 1)/2, t = (tc/|ma| + 1)/2, t = 0 on the
// image's first row.
glm::vec3 texelDirection(int face, float s, float t) {
  const float sc = 2.0f * s - 1.0f, tc = 2.0f * t - 1.0f;
  switch (face) {
    case 0:
      return {1.0f, -tc, -sc};
    case 1:
      return {-1.0f, -tc, sc};
    case 2:
      return {sc, 1.0f, tc};
    case 3:
      return {sc, -1.0f, -tc};
    case 4:
      return {sc, -tc, 1.0f};
    default:
      return {-sc, -tc, -1.0f};
  }
}

void directionToTexel(glm::vec3 d, int& face, float& s, float& t) {
  const glm::vec3 a = glm::abs(d);
  float sc, tc, ma;
  if (a.x >= a.y && a.x >= a.z) {
    face = d.x > 0 ? 0 : 1;
    ma = a.x;
    sc = d.x > 0 ? -d.z : d.z;
    tc = -d.y;
  } else if (a.y >= a.z) {
    face = d.y > 0 ? 2 : 3;
    ma = a.y;
    sc = d.x;
    tc = d.y > 0 ? d.z : -d.z;
  } else {
    face = d.z > 0 ? 4 : 5;
    ma = a.z;
    sc = d.z > 0 ? d.x : -d.x;
    tc = -d.y;
  }
  s = 0.5f * (sc / ma + 1.0f);
  t = 0.5f * (tc / ma + 1.0f);
}

}  // namespace

TEST(AssetImages, SkyFacesAreEqualSquaresOfThreeChannelsAndMeetWithoutSeams) {
  std::vector<Picture> faces;
  for (const char* name : kFaceFiles) {
    faces.push_back(load(kAssets + "/textures/skybox_free/" + name));
    const Picture& f = faces.back();
    ASSERT_FALSE(f.pixels.empty()) << name;
    EXPECT_EQ(f.channels, 3) << name;
    EXPECT_EQ(f.width, f.height) << name;
    EXPECT_EQ(f.width, faces.front().width) << name;
    EXPECT_EQ(f.height, faces.front().height) << name;
  }
  const int n = faces.front().width;
  // Across every edge, the texel just outside a face (found through the neighbouring face by
  // direction) must look like the face's own border texel.
  double worstEdge = 0.0;
  for (int face = 0; face < 6; ++face) {
    for (int edge = 0; edge < 4; ++edge) {
      double sum = 0.0;
      for (int i = 0; i < n; ++i) {
        int x = i, y = i;
        float s = (i + 0.5f) / n, t = (i + 0.5f) / n;
        if (edge == 0) {
          x = 0;
          s = -0.5f / n;
        }
        if (edge == 1) {
          x = n - 1;
          s = 1.0f + 0.5f / n;
        }
        if (edge == 2) {
          y = 0;
          t = -0.5f / n;
        }
        if (edge == 3) {
          y = n - 1;
          t = 1.0f + 0.5f / n;
        }
        int other = 0;
        float os = 0.0f, ot = 0.0f;
        directionToTexel(texelDirection(face, s, t), other, os, ot);
        ASSERT_NE(other, face);
        const int ox = std::clamp(static_cast<int>(os * n), 0, n - 1),
                  oy = std::clamp(static_cast<int>(ot * n), 0, n - 1);
        sum += glm::length(faces[face].rgb(x, y) - faces[other].rgb(ox, oy));
      }
      worstEdge = std::max(worstEdge, sum / n);
    }
  }
  // Neighbouring texels of a smooth sky differ by a few levels plus JPEG noise; a flipped or
  // swapped face differs by tens.
  EXPECT_LT(worstEdge, 8.0);
  // The sky is not one flat colour (which would pass any seam test): up is bluer than down.
  const glm::vec3 up = faces[2].rgb(n / 2, n / 2), down = faces[3].rgb(n / 2, n / 2);
  EXPECT_GT(up.b - up.r, 40.0f);
  EXPECT_LT(down.b - down.r, 20.0f);
}

TEST(AssetImages, FlakeIsASoftWhiteSpriteOnTransparency) {
  const Picture flake = load(kAssets + "/textures/w_test.png");
  ASSERT_FALSE(flake.pixels.empty());
  EXPECT_EQ(flake.channels, 4);
  auto alpha = [&](int x, int y) {
    return flake.pixels[(static_cast<std::size_t>(y) * flake.width + x) * 4 + 3];
  };
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(flake.width - 1, flake.height - 1), 0);
  EXPECT_GT(alpha(flake.width / 2, flake.height / 2), 200);
  const glm::vec3 centre = flake.rgb(flake.width / 2, flake.height / 2);
  EXPECT_GT(std::min({centre.r, centre.g, centre.b}), 240.0f);
  // Soft: some pixels are partly transparent.
  int partial = 0;
  for (int y = 0; y < flake.height; ++y)
    for (int x = 0; x < flake.width; ++x) partial += (alpha(x, y) > 20 && alpha(x, y) < 200) ? 1 : 0;
  EXPECT_GT(partial, flake.width);
}

TEST(AssetImages, FontRendersEveryPrintableAsciiGlyphAt48Pixels) {
  const std::string fontPath = kAssets + "/fonts/Itim-Regular.ttf";
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Face(library, fontPath.c_str(), 0, &face), 0) << fontPath;
  ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 48), 0);
  for (int c = 32; c < 127; ++c) {
    EXPECT_NE(FT_Get_Char_Index(face, static_cast<FT_ULong>(c)), 0u)
        << "no glyph for '" << static_cast<char>(c) << "'";
    ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER), 0) << c;
    EXPECT_GT(face->glyph->advance.x, 0) << c;
    if (c > 32) {
      EXPECT_GT(face->glyph->bitmap.width, 0u) << "empty bitmap for '" << static_cast<char>(c) << "'";
      EXPECT_GT(face->glyph->bitmap.rows, 0u) << static_cast<char>(c);
    }
  }
  // Digits and capitals about the size the HUD expects at 48 px.
  ASSERT_EQ(FT_Load_Char(face, 'H', FT_LOAD_RENDER), 0);
  EXPECT_GT(face->glyph->bitmap.rows, 24u);
  EXPECT_LT(face->glyph->bitmap.rows, 48u);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  // The font travels with its licence.
  bool licence = false;
  for (const auto& entry : std::filesystem::directory_iterator(kAssets + "/fonts")) {
    const std::string name = entry.path().filename().string();
    licence =
        licence || name.find("LICENSE") != std::string::npos || name.find("copyright") != std::string::npos;
  }
  EXPECT_TRUE(licence);
}

TEST(AssetImages, LevelMapIsWritten) {
  const Picture map = load(kAssets + "/level_map.png");
  ASSERT_FALSE(map.pixels.empty());
  EXPECT_EQ(map.width, 600);
  EXPECT_EQ(map.height, 960);
}
