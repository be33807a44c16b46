#pragma once

// Small helpers shared by the benchmark programs: timing with repetitions and
// the one output format the scripts read ("figure <name> <value>").

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace velmoradine::bench {

// Runs `body` `repetitions` times and returns the median wall time in seconds.
inline double medianSeconds(int repetitions, const std::function<void()>& body) {
  std::vector<double> samples;
  for (int i = 0; i < repetitions; ++i) {
    auto start = std::chrono::steady_clock::now();
    body();
    samples.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

inline void printFigure(const std::string& name, double value) {
  std::printf("figure %s %.4g\n", name.c_str(), value);
  std::fflush(stdout);
}

}  // namespace velmoradine::bench
