#include "ugc_building.hpp"

#include <variant>

#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine::cli {
namespace {

// A description is text of kilobytes; a larger file is not one.
constexpr std::size_t kLargestDescription = std::size_t{16} << 20;

void addLayer(UGCScene& scene, const UGCLayerInstruction& layer) {
  std::visit(
      [&scene](const auto& instruction) {
        using Instruction = std::decay_t<decltype(instruction)>;
        if constexpr (std::is_same_v<Instruction, UGCLayerInstruction::imageLitearl>) {
          scene.imageLayer(instruction.format, instruction.image);
        } else if constexpr (std::is_same_v<Instruction, UGCLayerInstruction::imageURL>) {
          scene.imageLayer(instruction.format, *URL::parse(instruction.url));
        } else if constexpr (std::is_same_v<Instruction, UGCLayerInstruction::videoURL>) {
          scene.videoLayer(instruction.format, *URL::parse(instruction.url));
        } else {
          scene.textLayer(instruction.format, instruction.text);
        }
      },
      layer.value);
}

}  // namespace

Result<UGCDescription> readUGCDescription(const std::filesystem::path& input) {
  Result<Data> text = readContents(input, kLargestDescription);
  if (!text) {
    // The error's own text names the file again; the reason alone follows it.
    return failure(Error(text.error().code()));
  }
  return parseUGCDescription(std::string(text->begin(), text->end()), input.parent_path());
}

std::shared_ptr<UGC> buildUGC(const UGCDescription& description, UGCRenderProgress& progress,
                              UGCProviders providers) {
  auto ugc = UGC::make("cli", description.title, description.options, std::move(providers));
  for (const UGCSceneDescription& sceneDescription : description.scenes) {
    auto scene = ugc->addScene("scene", sceneDescription.options);
    progress.watchScene(*scene);
    for (const UGCLayerInstruction& layer : sceneDescription.layers) addLayer(*scene, layer);
  }
  return ugc;
}

void readyInTurn(const std::shared_ptr<UGC>& ugc, std::size_t index,
                 const std::shared_ptr<UGCRenderProgress>& progress, UGC::Completion finished) {
  const auto scenes = ugc->sceneConfigurations();
  const bool last = index + 1 == scenes.size();
  scenes[index]->ready([=](Result<SuccessfulRenderingResult> result) {
    progress->sceneReported(index, result);
    if (!last) readyInTurn(ugc, index + 1, progress, finished);
  });
  if (last) ugc->ready(std::move(finished));
}

void readyAtOnce(const std::shared_ptr<UGC>& ugc,
                 const std::shared_ptr<UGCRenderProgress>& progress, UGC::Completion finished) {
  const auto scenes = ugc->sceneConfigurations();
  for (std::size_t index = 0; index < scenes.size(); ++index) {
    scenes[index]->ready([progress, index](Result<SuccessfulRenderingResult> result) {
      progress->sceneReported(index, result);
    });
  }
  ugc->ready(std::move(finished));
}

}  // namespace velmoradine::cli
