// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

class QImage;
class QWidget;

namespace wattline {

// --render-preview: the four panel images, the details image and the two
// animated GIFs of the flow diagram, drawn by the real views from the demo
// scenes into `directory`. Makes its own application object (on Qt's
// offscreen platform when there is no display) and returns the exit status:
// 0 after the success line on standard output, 1 after "Preview failed: …" on
// standard error.
int renderPreview(int& argc, char** argv, const std::string& directory);

// `widget` laid out at its current size and drawn at `scale` device pixels per
// point; nothing when the image cannot be made. The widget need not be shown.
std::optional<QImage> renderOffscreen(QWidget& widget, double scale);

}  // namespace wattline
