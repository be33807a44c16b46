#pragma once

// The figures of the `ui` benchmark area, one function per program part.

#include <chrono>
#include <functional>
#include <vector>

#include "bench/support/figures.hpp"

namespace velmoradine::bench {

void printWindowFigures();
void printSheetFigures();

// Like medianSeconds, with an untimed `setup` before each timed `body`.
inline double medianSecondsWithSetup(int repetitions, const std::function<void()>& setup,
                                     const std::function<void()>& body) {
  std::vector<double> samples;
  for (int i = 0; i < repetitions; ++i) {
    setup();
    samples.push_back(medianSeconds(1, body));
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace velmoradine::bench
