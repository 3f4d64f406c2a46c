// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/gif_destination.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <libimagequant.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

namespace wattline {

namespace {

// libimagequant objects, each freed by its own function.
struct LiqFree {
  void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
  void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
  void operator()(liq_result* result) const { liq_result_destroy(result); }
};
template <class T>
using Liq = std::unique_ptr<T, LiqFree>;

std::string gifError(const char* what, int code) {
  const char* text = GifErrorString(code);
  return std::string(what) + ": " + (text ? text : "unknown giflib error");
}

// The palette entry closest to an RGBA colour.
unsigned nearest(const liq_palette& palette, const unsigned char* rgba) {
  unsigned best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (unsigned i = 0; i < palette.count; ++i) {
    const liq_color& entry = palette.entries[i];
    const int dr = entry.r - rgba[0], dg = entry.g - rgba[1], db = entry.b - rgba[2], da = entry.a - rgba[3];
    const int distance = dr * dr + dg * dg + db * db + da * da;
    if (distance < bestDistance) bestDistance = distance, best = i;
  }
  return best;
}

}  // namespace

GifDestination::GifDestination(const std::string& path, std::size_t frameCount)
    : path_(path), frameCount_(frameCount) {
  // giflib's own EGifOpenFileName would create the file with mode 0600.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) error_ = path + ": " + std::strerror(errno);
}

GifDestination::~GifDestination() {
  if (fd_ >= 0) ::close(fd_);
}

bool GifDestination::fail(std::string message) {
  error_ = std::move(message);
  return false;
}

bool GifDestination::addFrame(const QImage& frame, double delaySeconds) {
  if (frame.isNull() || frames_.size() >= frameCount_) return false;
  if (!frames_.empty() && frame.size() != frames_.front().size()) return false;
  frames_.push_back(frame.convertToFormat(QImage::Format_RGBA8888));
  const double before = std::floor(elapsed_ * 100 + 1e-9);
  elapsed_ += delaySeconds;
  delays_.push_back(static_cast<int>(std::floor(elapsed_ * 100 + 1e-9) - before));
  return true;
}

bool GifDestination::finalize() {
  if (fd_ < 0) return fail(error_.empty() ? "the file is not open" : error_);
  if (frames_.size() != frameCount_ || frames_.empty())
    return fail("expected " + std::to_string(frameCount_) + " frames, got " + std::to_string(frames_.size()));
  const int width = frames_.front().width(), height = frames_.front().height();

  // One palette chosen by libimagequant from the colours of every frame. The
  // frames differ only where the dots move, so colours are counted once each
  // and a pixel that did not change keeps the previous frame's index.
  const std::size_t area = static_cast<std::size_t>(width) * height;
  const auto pixelsOf = [](const QImage& frame) {
    return reinterpret_cast<const std::uint32_t*>(frame.constBits());
  };
  std::unordered_map<std::uint32_t, unsigned> colours;
  for (std::size_t f = 0; f < frames_.size(); ++f) {
    const std::uint32_t *pixels = pixelsOf(frames_[f]), *previous = f ? pixelsOf(frames_[f - 1]) : nullptr;
    for (std::size_t i = 0; i < area; ++i)
      if (!previous || previous[i] != pixels[i]) ++colours[pixels[i]];
  }
  Liq<liq_attr> attr(liq_attr_create());
  if (!attr || liq_set_speed(attr.get(), 10) != LIQ_OK) return fail("libimagequant could not be set up");
  Liq<liq_histogram> histogram(liq_histogram_create(attr.get()));
  std::vector<liq_histogram_entry> entries;
  entries.reserve(colours.size());
  for (auto [rgba, count] : colours) {
    const auto* c = reinterpret_cast<const unsigned char*>(&rgba);
    entries.push_back({{c[0], c[1], c[2], c[3]}, count});
  }
  if (!histogram || liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(),
                                             static_cast<int>(entries.size()), 0) != LIQ_OK)
    return fail("libimagequant rejected the colours");
  liq_result* quantised = nullptr;
  if (liq_histogram_quantize(histogram.get(), attr.get(), &quantised) != LIQ_OK)
    return fail("libimagequant found no palette");
  Liq<liq_result> result(quantised);
  const liq_palette* palette = liq_get_palette(result.get());
  for (auto& [rgba, index] : colours) {
    const auto* c = reinterpret_cast<const unsigned char*>(&rgba);
    index = nearest(*palette, c);
  }
  std::vector<std::vector<GifPixelType>> indexed;
  for (std::size_t f = 0; f < frames_.size(); ++f) {
    const std::uint32_t *pixels = pixelsOf(frames_[f]), *previous = f ? pixelsOf(frames_[f - 1]) : nullptr;
    auto& out = indexed.emplace_back(area);
    for (std::size_t i = 0; i < area; ++i)
      out[i] = previous && previous[i] == pixels[i] ? indexed[f - 1][i]
                                                    : static_cast<GifPixelType>(colours[pixels[i]]);
  }
  // A GIF colour table has a power-of-two size; unused entries stay black.
  GifColorType colors[256] = {};
  for (unsigned i = 0; i < palette->count && i < 256; ++i)
    colors[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(256, colors),
                                                                 GifFreeMapObject);
  if (!map) return fail("giflib could not make the colour table");

  int code = 0;
  GifFileType* gif = EGifOpenFileHandle(fd_, &code);
  if (!gif) return fail(gifError("opening the GIF", code));
  fd_ = -1;  // giflib closes it now
  const auto abandon = [&](const char* what) {
    const int failure = gif->Error;
    EGifCloseFile(gif, nullptr);
    return fail(gifError(what, failure));
  };
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) != GIF_OK) return abandon("writing the screen");
  // NETSCAPE2.0 application extension: sub-block 1 carries the loop count, little-endian.
  unsigned char loop[3] = {1, static_cast<unsigned char>(loopCount_ & 0xff),
                           static_cast<unsigned char>((loopCount_ >> 8) & 0xff)};
  if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_OK ||
      EGifPutExtensionBlock(gif, 3, loop) != GIF_OK || EGifPutExtensionTrailer(gif) != GIF_OK)
    return abandon("writing the loop count");
  for (std::size_t i = 0; i < indexed.size(); ++i) {
    // Each frame stays on screen under the next, so a frame only carries the
    // rectangle where it differs from the one before (at least one pixel).
    int left = 0, top = 0, right = width - 1, bottom = height - 1;
    if (i > 0) {
      left = width, top = height, right = -1, bottom = -1;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const std::size_t at = static_cast<std::size_t>(y) * width + x;
          if (indexed[i][at] == indexed[i - 1][at]) continue;
          left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
          bottom = std::max(bottom, y);
        }
      if (right < 0) left = right = top = bottom = 0;
    }
    GraphicsControlBlock control{DISPOSE_DO_NOT, false, delays_[i], NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension) != GIF_OK ||
        EGifPutImageDesc(gif, left, top, right - left + 1, bottom - top + 1, false, nullptr) != GIF_OK)
      return abandon("writing a frame");
    for (int y = top; y <= bottom; ++y)
      if (EGifPutLine(gif, indexed[i].data() + static_cast<std::size_t>(y) * width + left,
                      right - left + 1) != GIF_OK)
        return abandon("writing a frame");
  }
  if (EGifCloseFile(gif, &code) != GIF_OK) return fail(gifError("closing the GIF", code));
  return true;
}

}  // namespace wattline
