// SPDX-License-Identifier: GPL-3.0-or-later

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

struct ProgramRun {
  int status;
  QString out, err;
};

// The program itself, without a display: it must pick the offscreen platform on its own.
ProgramRun renderPreview(const QString& directory, const QString& home) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
  environment.insert("XDG_CONFIG_HOME", home);
  process.setProcessEnvironment(environment);
  process.start(WATTLINE_BINARY, {"--render-preview", directory});
  process.waitForFinished(60'000);
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

struct GifFacts {
  int frames = 0;
  int loopCount = -1;
  int totalDelay = 0;
};

GifFacts readGif(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  GifFacts facts;
  if (!gif) return facts;
  if (DGifSlurp(gif) == GIF_OK) {
    facts.frames = gif->ImageCount;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock control;
      if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) facts.totalDelay += control.DelayTime;
    }
    // NETSCAPE2.0, then the sub-block {1, count low, count high}.
    const SavedImage& first = gif->SavedImages[0];
    for (int b = 0; b + 1 < first.ExtensionBlockCount; ++b) {
      const ExtensionBlock& block = first.ExtensionBlocks[b];
      if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
          std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
        const ExtensionBlock& data = first.ExtensionBlocks[b + 1];
        if (data.ByteCount == 3 && data.Bytes[0] == 1) facts.loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
      }
    }
  }
  DGifCloseFile(gif, &error);
  return facts;
}

}  // namespace

TEST(PreviewRenderer, WritesFourPanelsTheDetailsAndTwoLoopingGifs) {
  QTemporaryDir temporary;
  const QString directory = temporary.filePath("nested/previews");
  const ProgramRun run = renderPreview(directory, temporary.filePath("config"));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.out, "Rendered 4 previews and 2 animated GIFs to " + directory + "\n");
  for (const char* name :
       {"preview-0.png", "preview-1.png", "preview-2.png", "preview-3.png", "preview-details.png"}) {
    QImageReader reader(directory + "/" + name);
    EXPECT_EQ(reader.size().width(), 840) << name;
  }
  EXPECT_GT(QImageReader(directory + "/preview-details.png").size().height(),
            QImageReader(directory + "/preview-3.png").size().height());
  for (const char* name : {"flow-charging.gif", "flow-discharging.gif"}) {
    const GifFacts gif = readGif((directory + "/" + name).toStdString());
    EXPECT_EQ(gif.frames, 48) << name;
    EXPECT_EQ(gif.loopCount, 0) << name;
    EXPECT_EQ(gif.totalDelay, 300) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.toStdString()), {}), 7);
}

TEST(PreviewRenderer, AFileInPlaceOfTheDirectoryFailsAndWritesNothing) {
  QTemporaryDir temporary;
  const std::string file = temporary.filePath("taken").toStdString();
  std::ofstream(file) << "keep";
  const ProgramRun run = renderPreview(QString::fromStdString(file), temporary.filePath("config"));
  EXPECT_EQ(run.status, 1);
  // Qt may warn about the environment first; the last line is ours.
  EXPECT_TRUE(run.err.trimmed().split('\n').last().startsWith("Preview failed: ")) << run.err.toStdString();
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_EQ(std::filesystem::file_size(file), 4u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporary.path().toStdString()), {}), 1);
}
