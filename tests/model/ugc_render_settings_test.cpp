#include "velmoradine/model/ugc_render_settings.hpp"

#include <gtest/gtest.h>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/model/ugc_error.hpp"

namespace velmoradine {
namespace {

TEST(UGCRenderSettings, DefaultsAreTheVerticalPreset) {
  UGCRenderSettings settings;
  EXPECT_EQ(settings.size, (Size{540, 960}));
  EXPECT_EQ(settings.fps(), 30);
  EXPECT_EQ(settings.filenameExt(), "mp4");
  EXPECT_EQ(settings.avCodecKey(), "avc1");
  EXPECT_EQ(settings.outputFileType(), "public.mpeg-4");
  EXPECT_EQ(settings.backgroundColor, Color::white());
}

TEST(UGCRenderSettings, LastSizeAndColourWin) {
  UGCRenderSettings settings({UGCRenderOptions::size({1080, 1920}),
                              UGCRenderOptions::backgroundColor(Color::black()),
                              UGCRenderOptions::size({720, 1280}),
                              UGCRenderOptions::preset(UGCRenderPreset::verticalVideoPreset)});
  EXPECT_EQ(settings.size, (Size{720, 1280}));
  EXPECT_EQ(settings.backgroundColor, Color::black());
  EXPECT_EQ(settings.fps(), 30);
}

TEST(UGCRenderSettings, PresetAloneGivesTheDefaults) {
  UGCRenderSettings settings({UGCRenderOptions::preset(UGCRenderPreset::verticalVideoPreset)});
  EXPECT_EQ(settings.size, (Size{540, 960}));
  EXPECT_EQ(settings.backgroundColor, Color::white());
}

TEST(UGCSceneOptions, LastMaximumWins) {
  EXPECT_EQ(
      UGCSceneOptions({UGCSceneOption::maxDuration(5), UGCSceneOption::maxDuration(3)}).maxDuration,
      3.0);
  EXPECT_FALSE(UGCSceneOptions(std::vector<UGCSceneOption>{}).maxDuration);
  EXPECT_FALSE(UGCSceneOptions().maxDuration);
}

TEST(UGCError, DescriptionsWithoutTranslations) {
  testing::TemporaryMainBundle bundle;
  EXPECT_EQ(Error(UGCError::videoError, "Unable to load video").localizedDescription(),
            "Video error: Unable to load video");
  EXPECT_EQ(Error(UGCError::imageError, "No url set for image").localizedDescription(),
            "Image error: No url set for image");
  EXPECT_EQ(Error(UGCError::unknown).localizedDescription(), "Unknown configuraiton error");
  EXPECT_EQ(Error(UGCError::noDuration).localizedDescription(), "No duration set");
  EXPECT_EQ(Error(UGCError::exportFailedOrCancelled).localizedDescription(),
            "Export failed or cancelled");
  EXPECT_EQ(Error(UGCError::exportFailedFatally).localizedDescription(), "Export failed fatally");
}

TEST(UGCError, DescriptionsComeFromTheHostsStringTable) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("Localizable.strings",
                   "\"No duration set\" = \"Keine Dauer\";\n"
                   "\"Video error: Unable to load video\" = \"Videofehler\";\n");
  EXPECT_EQ(Error(UGCError::noDuration).localizedDescription(), "Keine Dauer");
  EXPECT_EQ(Error(UGCError::videoError, "Unable to load video").localizedDescription(),
            "Videofehler");
  EXPECT_EQ(Error(UGCError::videoError, "Other").localizedDescription(), "Video error: Other");
}

TEST(UGCError, OnlyExportFailuresAreRetryable) {
  EXPECT_TRUE(retryable(UGCError::exportFailedOrCancelled));
  EXPECT_TRUE(retryable(UGCError::exportFailedFatally));
  for (UGCError e :
       {UGCError::unknown, UGCError::noDuration, UGCError::videoError, UGCError::imageError}) {
    EXPECT_FALSE(retryable(e));
    EXPECT_FALSE(retryable(Error(e)));
  }
  EXPECT_TRUE(retryable(Error(UGCError::exportFailedFatally)));
  EXPECT_FALSE(retryable(Error::posix(5)));
  EXPECT_TRUE(Error(UGCError::noDuration) == UGCError::noDuration);
}

TEST(SuccessfulRenderingResult, EqualWhenTheURLsAre) {
  SuccessfulRenderingResult a{"/tmp/a.mp4"};
  SuccessfulRenderingResult b{"/tmp/a.mp4"};
  SuccessfulRenderingResult c{"/tmp/c.mp4"};
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a.description(), "SuccessfulRenderingResult(displayURL: file:///tmp/a.mp4)");
}

class RecordingDelegate : public UGCResultDelegate {
 public:
  void didFinish(Result<SuccessfulRenderingResult> result) override {
    results.push_back(std::move(result));
  }
  std::vector<Result<SuccessfulRenderingResult>> results;
};

TEST(UGCResultDelegate, ReceivesValueOrError) {
  RecordingDelegate delegate;
  UGCResultDelegate& base = delegate;
  base.didFinish(SuccessfulRenderingResult{"/x.mp4"});
  base.didFinish(failure(Error(UGCError::noDuration)));
  ASSERT_EQ(delegate.results.size(), 2u);
  EXPECT_EQ(delegate.results[0]->displayURL, "/x.mp4");
  EXPECT_EQ(delegate.results[1].error(), UGCError::noDuration);
}

TEST(UGCLayerInstruction, HoldsEachKind) {
  UGCLayerInstruction text{UGCLayerInstruction::text{UGCTextFormat::create(), "hello"}};
  UGCLayerInstruction video{
      UGCLayerInstruction::videoURL{UGCVideoFormat::create(), "file:///v.mp4"}};
  EXPECT_EQ(std::get<UGCLayerInstruction::text>(text.value).text, "hello");
  EXPECT_EQ(std::get<UGCLayerInstruction::videoURL>(video.value).url, "file:///v.mp4");
}

}  // namespace
}  // namespace velmoradine
