// A progress bar for long imports, drawn on standard error when it is a terminal.
//
// Nothing is drawn during the first second, so quick imports stay silent, nor when standard
// error is redirected (logs and the tests see only the messages). The bar is redrawn at most
// ten times a second and erased when the object goes.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace vellum::import {

class ProgressBar {
 public:
  ProgressBar(std::string label, std::size_t total)
      : label_(std::move(label)),
        total_(total),
        enabled_(::isatty(STDERR_FILENO) == 1),
        started_(Clock::now()),
        lastDrawn_(started_) {}
  ~ProgressBar() {
    if (drawn_) std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + 48, "");
  }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void update(std::size_t done) {
    if (!enabled_ || total_ == 0) return;
    const auto now = Clock::now();
    if (now - started_ < std::chrono::seconds(1) ||
        (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100)))
      return;
    constexpr int kWidth = 30;
    const std::size_t shown = done > total_ ? total_ : done;
    const int filled = static_cast<int>(shown * kWidth / total_);
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), static_cast<int>(shown * 100 / total_));
    std::fflush(stderr);
    drawn_ = true;
    lastDrawn_ = now;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::string label_;
  std::size_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point started_, lastDrawn_;
};

}  // namespace vellum::import
