// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <cstddef>
#include <string>
#include <vector>

namespace wattline {

// An animated GIF of a fixed number of frames, written when finalised: the
// frames share one palette of up to 256 colours (libimagequant), so flat
// areas do not flicker between frames, and giflib writes them.
class GifDestination {
 public:
  // Creates or truncates `path` (mode 0666 less the umask); see isOpen().
  GifDestination(const std::string& path, std::size_t frameCount);
  ~GifDestination();
  GifDestination(const GifDestination&) = delete;
  GifDestination& operator=(const GifDestination&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // Why opening or finalising failed.
  const std::string& error() const { return error_; }

  // 0 repeats forever.
  void setLoopCount(int count) { loopCount_ = count; }
  // Keeps a copy of the frame, shown for `delaySeconds`. GIF delays are whole
  // centiseconds, so each frame gets the rounding left over by the previous
  // ones: 48 frames of 1/16 s take 6, 6, 6, 7 … centiseconds, 3 s in all.
  bool addFrame(const QImage& frame, double delaySeconds);
  // Writes every frame; false when fewer frames than announced were added or writing failed.
  bool finalize();

 private:
  bool fail(std::string message);

  int fd_ = -1;
  std::string path_;
  std::size_t frameCount_;
  int loopCount_ = 0;
  std::vector<QImage> frames_;
  std::vector<int> delays_;  // centiseconds
  double elapsed_ = 0;
  std::string error_;
};

}  // namespace wattline
