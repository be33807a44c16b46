#pragma once

// The kit's own outlets, in the order the share sheet shows them: IMessage,
// InstagramStories, Download, Twitter, InstagramFeed, More, Copy.

#include "velmoradine/outlets/share_outlets.hpp"

namespace velmoradine {

ShareOutletTypeList kitShareOutletTypes();

}  // namespace velmoradine
