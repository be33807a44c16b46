#pragma once

// Performs one outlet without a screen, as a user of the share sheet would:
// the outlet presents from the root controller of a headless window, and
// each screen it puts up is answered by tapping a button, the way a user's
// finger would, with the answer the command was given.
//
// Threading: main thread; drives the main run loop until the outlet has
// reported or the deadline has passed.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine::cli {

enum class Answer { yes, no };

struct OutletOutcome {
  enum class Kind {
    succeeded,
    failed,
    cancelled,
    // A screen asked something and no answer was given, or it has no button
    // for the answer.
    unanswered,
    timedOut,
  };
  Kind kind = Kind::timedOut;
  // What a succeeding outlet reports it used.
  std::vector<ShareStretegyType> strategiesUsed;
  // The failing outlet's text, or the screen left unanswered.
  std::string detail;
};

// Alerts: "yes" taps the last action that is not a cancel action, "no" the
// cancel action, else the first. The activity sheet: "yes" picks the first
// application it lists. Other screens: the button titled with the answer's
// usual words ("Send", "Cancel"); "no" swipes away a sheet without such a
// button.
OutletOutcome performHeadless(const ShareOutletType& type, std::shared_ptr<Content> content,
                              std::optional<Answer> answer,
                              std::chrono::steady_clock::time_point deadline);

// "raw, linkPreview".
std::string describeStrategies(const std::vector<ShareStretegyType>& strategies);

}  // namespace velmoradine::cli
