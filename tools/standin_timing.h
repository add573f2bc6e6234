// For the benchmark of the station's own time: a stand-in started with
// EDI_STANDIN_TIMES set appends the seconds it ran to that file, so that the
// benchmark can take the outside programs' time out of the total.
#pragma once

#include <chrono>
#include <cstdlib>
#include <fstream>

class StandinTiming {
 public:
  ~StandinTiming() {
    const char* file = std::getenv("EDI_STANDIN_TIMES");
    if (file == nullptr) return;
    const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - start_;
    std::ofstream(file, std::ios::app) << ran.count() << "\n";
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
