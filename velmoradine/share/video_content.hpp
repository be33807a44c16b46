#pragma once

// A local video file with a title, ready to be shared. Creating one reads the
// file and starts its share manager at once, so the upload runs before any
// share sheet is shown. The content collects the pipeline's results as share
// strategies; the link is handed out only once the share is live.
//
// Threading: the manager's callbacks arrive on the main queue and on the
// backend's queue while outlets read from the main thread; the fields they
// touch are guarded by a lock.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "velmoradine/model/share_outlet_identity.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/share/content.hpp"
#include "velmoradine/share/share_manager_video.hpp"
#include "velmoradine/state/datastores.hpp"

namespace velmoradine {

struct VideoContentProviders {
  std::shared_ptr<ApplicationDatastoreProtocol> datastore;
  ShareManagerProviders videoManagerProviders;

  // The shared application datastore and the manager's defaults.
  static VideoContentProviders defaults();
};

class VideoContent : public Content,
                     public ShareManagerVideoDelegate,
                     public std::enable_shared_from_this<VideoContent> {
 public:
  // Fails with the reading error when the file cannot be read; nothing is
  // sent then.
  static Result<std::shared_ptr<VideoContent>> create(
      URL videoURL, std::string title,
      VideoContentProviders providers = VideoContentProviders::defaults());

  ContentType contentType() const override { return ContentType::video; }
  std::shared_ptr<VideoContent> videoContent() override { return shared_from_this(); }
  void cleanupContent(const std::vector<ShareStretegyType>& types) override;

  const std::string& title() const { return title_; }
  const URL& videoURL() const { return videoURL_; }
  // `caller` is the outlet asking; every outlet gets the same answer.
  std::shared_ptr<RawShareStrategy> rawStrategy(const ShareOutletIdentity* caller = nullptr) const;
  // The link, once the share is live.
  std::shared_ptr<LinkPreviewShareStrategy> linkPreviewStrategy(
      const ShareOutletIdentity* caller = nullptr) const;
  bool linkPreviewAvailable() const;
  std::shared_ptr<RenderedShareStrategy> renderedShareStrategy() const;
  LinkPreviewConfidence linkPreviewShareStrategyConfidence() const;
  static constexpr LinkPreviewConfidence linkPreviewConfidenceRequired =
      LinkPreviewConfidence::succeeded;
  const std::shared_ptr<ShareManagerVideo>& shareManager() const { return shareManager_; }

  // Why the share pipeline failed, once it has; the link never comes then.
  std::optional<Error> pipelineError() const;

  // What text outlets post: the title, and the link once it is available.
  std::string text() const;
  // The application's call-to-action link, when its settings hold a valid one.
  std::optional<URL> ctaLink() const;

  void renderedStrategyDidUpdate(std::shared_ptr<RenderedShareStrategy> renderedStrategy) override;
  void linkPreviewStrategyDidUpdate(
      std::shared_ptr<LinkPreviewShareStrategy> linkPreviewStrategy) override;
  void linkPreviewConfidenceDidUpdate(LinkPreviewConfidence linkPreviewConfidence) override;
  void shareManagerDidComplete(std::optional<Error> error) override;

 private:
  VideoContent(URL videoURL, std::string title, std::shared_ptr<const Data> bytes,
               std::shared_ptr<ApplicationDatastoreProtocol> datastore);

  const std::shared_ptr<ApplicationDatastoreProtocol> datastore_;
  const std::string title_;
  const URL videoURL_;
  const std::shared_ptr<RawShareStrategy> rawShareStrategy_;
  std::shared_ptr<ShareManagerVideo> shareManager_;

  mutable std::mutex mutex_;
  std::shared_ptr<RenderedShareStrategy> renderedShareStrategy_;        // guarded by mutex_
  std::shared_ptr<LinkPreviewShareStrategy> linkPreviewShareStrategy_;  // guarded by mutex_
  LinkPreviewConfidence confidence_ = LinkPreviewConfidence::none;      // guarded by mutex_
  std::optional<Error> pipelineError_;                                  // guarded by mutex_
};

}  // namespace velmoradine
