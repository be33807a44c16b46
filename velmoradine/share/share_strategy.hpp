#pragma once

// The forms in which a piece of content can be handed to an outlet: the file's
// bytes, the rendered video's bytes, or a public link to the uploaded share.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/data.hpp"

namespace velmoradine {

enum class ContentType { unknown, video };
std::string_view rawValue(ContentType type);

enum class ShareStrategy { none = 0, raw = 1, rendered = 2, linkPreview = 3 };
// Integers outside 0-3 give nothing.
std::optional<ShareStrategy> shareStrategy(int rawValue);

// How an outlet consumed a strategy: as bytes or as a link.
enum class ShareStretegyType { raw, linkPreview };

// How far the upload of a share has progressed. There is no level 4;
// comparisons compare the levels' values.
enum class LinkPreviewConfidence {
  none = 0,
  planReceived = 1,
  thumbnailUploadedAndActivated = 2,
  videoUploaded = 3,
  succeeded = 5,
};
std::optional<LinkPreviewConfidence> linkPreviewConfidence(int rawValue);

class ShareStrategyProtocol {
 public:
  virtual ~ShareStrategyProtocol() = default;
  virtual ShareStrategy shareStrategy() const = 0;
  virtual ShareStretegyType shareStrategyType() const = 0;
};

class ShareStretegyTypeRawProtocol {
 public:
  virtual ~ShareStretegyTypeRawProtocol() = default;
  virtual const std::shared_ptr<const Data>& data() const = 0;
};

class ShareStretegyTypeLinkPreviewProtocol {
 public:
  virtual ~ShareStretegyTypeLinkPreviewProtocol() = default;
  virtual const std::string& link() const = 0;
};

// Strategies are built once and then only read, from any thread.
class RawShareStrategy final : public ShareStrategyProtocol, public ShareStretegyTypeRawProtocol {
 public:
  explicit RawShareStrategy(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
  ShareStrategy shareStrategy() const override { return ShareStrategy::raw; }
  ShareStretegyType shareStrategyType() const override { return ShareStretegyType::raw; }
  const std::shared_ptr<const Data>& data() const override { return data_; }

 private:
  std::shared_ptr<const Data> data_;
};

class RenderedShareStrategy final : public ShareStrategyProtocol,
                                    public ShareStretegyTypeRawProtocol {
 public:
  explicit RenderedShareStrategy(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
  ShareStrategy shareStrategy() const override { return ShareStrategy::rendered; }
  ShareStretegyType shareStrategyType() const override { return ShareStretegyType::raw; }
  const std::shared_ptr<const Data>& data() const override { return data_; }

 private:
  std::shared_ptr<const Data> data_;
};

class LinkPreviewShareStrategy final : public ShareStrategyProtocol,
                                       public ShareStretegyTypeLinkPreviewProtocol {
 public:
  explicit LinkPreviewShareStrategy(std::string link) : link_(std::move(link)) {}
  ShareStrategy shareStrategy() const override { return ShareStrategy::linkPreview; }
  ShareStretegyType shareStrategyType() const override { return ShareStretegyType::linkPreview; }
  const std::string& link() const override { return link_; }

 private:
  std::string link_;
};

}  // namespace velmoradine
