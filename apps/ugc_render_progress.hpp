#pragma once

// What `velmoradine render` shows while a UGC renders. It watches through
// the UGC's renderer seams: the factories it hands out wrap the kit's own
// renderers and pass every call through unchanged, noting when a scene's
// layers are ready (its renderer is made), when the join starts and how far
// each export has come.
//
// Threading: main thread only. The renderer factories are called on the
// main queue, and the scene and UGC answers are handed there by the command.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/ugc/ugc.hpp"

namespace velmoradine::cli {

class UGCRenderProgress : public std::enable_shared_from_this<UGCRenderProgress> {
 public:
  using Say = std::function<void(const std::string&)>;

  // `sceneCount` scenes will be watched, numbered from 1 in the UGC's order.
  static std::shared_ptr<UGCRenderProgress> make(std::size_t sceneCount, Say say);

  // The kit's standard renderers, watched by this.
  UGCProviders providers();
  // Matches the UGC's scenes to their numbers; call once per scene, in order.
  void watchScene(const UGCScene& scene);

  // Prints the scene's outcome: its video's length and the time since its
  // layers were ready, or why it is left out.
  void sceneReported(std::size_t index, const Result<SuccessfulRenderingResult>& result);
  // Prints the join's outcome (the final result is the command's to print).
  void joinReported(const Result<SuccessfulRenderingResult>& result);
  // Prints each running export's progress whenever it has passed another
  // quarter. Meant for a repeating timer on a terminal.
  void showPercentages();

  // The scene files reported so far and the final video, for cleaning up.
  const std::vector<std::filesystem::path>& renderedFiles() const { return renderedFiles_; }

  // Reached through `providers()`: a scene's renderer is made once its
  // layers are ready, the join's once every announced scene has reported.
  // The renderers are none when making them failed.
  void layersReady(const UGCScene& scene, std::shared_ptr<UGCSceneExport> renderer);
  void joining(std::size_t sceneCount, std::shared_ptr<UGCExport> renderer);

  UGCRenderProgress(std::size_t sceneCount, Say say);

 private:
  using Clock = std::chrono::steady_clock;
  // One export being watched: its renderer's export session (none until the
  // renderer starts it) and how many quarters of it have been shown.
  struct Watched {
    std::optional<Clock::time_point> startedAt;
    std::function<std::shared_ptr<AssetExportSession>()> exporter;
    int quartersShown = 0;
  };

  std::optional<std::size_t> indexOf(const UGCScene& scene) const;
  void showProgress(const std::string& name, Watched& watched);
  std::string sceneName(std::size_t index) const;

  Say say_;
  std::vector<const UGCScene*> scenes_;
  std::vector<Watched> watchedScenes_;
  Watched join_;
  std::size_t scenesTotal_;
  std::vector<std::filesystem::path> renderedFiles_;
};

}  // namespace velmoradine::cli
