#include "velmoradine/outlets/kit_outlets.hpp"

#include "velmoradine/outlets/copy.hpp"
#include "velmoradine/outlets/download.hpp"
#include "velmoradine/outlets/imessage.hpp"
#include "velmoradine/outlets/instagram_feed.hpp"
#include "velmoradine/outlets/instagram_stories.hpp"
#include "velmoradine/outlets/more.hpp"
#include "velmoradine/outlets/twitter.hpp"

namespace velmoradine {

ShareOutletTypeList kitShareOutletTypes() {
  return {IMessage::outletType(), InstagramStories::outletType(), Download::outletType(),
          Twitter::outletType(),  InstagramFeed::outletType(),    More::outletType(),
          Copy::outletType()};
}

}  // namespace velmoradine
