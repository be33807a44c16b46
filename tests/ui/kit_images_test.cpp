// The outlet icons and logos the asset bundle ships: each decodes, has the
// size it was drawn at, and shows its glyph and ground where they belong.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/platform/graphics/pixel_expectations.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {
namespace {

using testing::pixelIs;

struct KitImageCase {
  std::string name;
  int pixels;
  std::string centre;
  std::string corner;
  friend void PrintTo(const KitImageCase& value, std::ostream* out) { *out << value.name; }
};

class KitImagesTest : public ::testing::TestWithParam<KitImageCase> {};

TEST_P(KitImagesTest, DecodesAtItsSizeWithGlyphAtTheCentreAndGroundInTheCorner) {
  const KitImageCase& expected = GetParam();
  auto path = Bundle::module().pathForResource("Assets/" + expected.name, "png");
  ASSERT_TRUE(path) << expected.name << " is not in the asset bundle";
  auto image = Image::read(*path);
  ASSERT_TRUE(image) << image.error().detail();
  ASSERT_EQ(image->pixelWidth(), expected.pixels);
  ASSERT_EQ(image->pixelHeight(), expected.pixels);
  const int middle = expected.pixels / 2;
  EXPECT_TRUE(pixelIs(image->bitmap(), middle, middle, *Color::fromHex(expected.centre)));
  EXPECT_TRUE(pixelIs(image->bitmap(), 0, 0, *Color::fromHex(expected.corner)));
}

// Icons fill their square (the cell clips them round) with a white glyph
// over the centre; logos are a badge on a transparent square, the centre
// showing the badge through the notch of the mark.
INSTANTIATE_TEST_SUITE_P(
    AssetBundle, KitImagesTest,
    ::testing::Values(KitImageCase{"IMessage", 240, "#FFFFFF", "#3D7BE0"},
                      KitImageCase{"InstagramStories", 240, "#FFFFFF", "#D9467A"},
                      KitImageCase{"Download", 240, "#FFFFFF", "#2E9E6B"},
                      KitImageCase{"Twitter", 240, "#FFFFFF", "#34495E"},
                      KitImageCase{"InstagramFeed", 240, "#FFFFFF", "#E8793A"},
                      KitImageCase{"More", 240, "#FFFFFF", "#7D8590"},
                      KitImageCase{"Copy", 240, "#FFFFFF", "#6A4FC8"},
                      KitImageCase{"Velmoradine-lightMode", 84, "#1F1B2E", "#00000000"},
                      KitImageCase{"Velmoradine-darkMode", 84, "#F2F0FA", "#00000000"}),
    [](const ::testing::TestParamInfo<KitImageCase>& info) {
      std::string name = info.param.name;
      std::erase(name, '-');
      return name;
    });

}  // namespace
}  // namespace velmoradine
