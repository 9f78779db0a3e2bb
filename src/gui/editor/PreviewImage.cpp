#include "gui/editor/PreviewImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <QFile>

#include "common/ProgramFile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "gui/DibPicture.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/palette/Palette.h"
#include "StringTable.h"

// The built-in picture lives in the editor library's resources (editor.qrc), which a
// static library must register by name before first use.
static void InitEditorResources() { Q_INIT_RESOURCE(editor); }

namespace km::gui {
namespace {

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr int kInternalPreviewText = 2731;  // "Internal Preview"

}  // namespace

PreviewSize FitPreview(int w, int h, int fw, int fh) {
  PreviewSize n{w, h};
  if (w > 0 && fw < w) {
    n.height = static_cast<int>(static_cast<long long>(fw) * h / w);
    n.width = fw;
  }
  if (n.height > 0 && fh < n.height) {
    n.width = static_cast<int>(static_cast<long long>(fh) * n.width / n.height);
    n.height = fh;
  }
  n.width = std::max(n.width, 1);
  n.height = std::max(n.height, 1);
  return n;
}

bool IsInternalPreview(const std::string& path) {
  return path.empty() ||
         QString::fromStdString(path).compare(QString::fromStdString(LoadString(kInternalPreviewText)),
                                              Qt::CaseInsensitive) == 0;
}

DibHandle BuiltInPreview() {
  InitEditorResources();
  QFile file(QStringLiteral(":/kilnmark/Preview.bmp"));
  if (!file.open(QIODevice::ReadOnly)) {
    return nullptr;
  }
  const QByteArray bytes = file.readAll();
  if (static_cast<std::size_t>(bytes.size()) <= kBmpFileHeaderSize) {
    return nullptr;
  }
  std::vector<std::uint8_t> packed(static_cast<std::size_t>(bytes.size()) - kBmpFileHeaderSize);
  std::memcpy(packed.data(), bytes.constData() + kBmpFileHeaderSize, packed.size());
  DibHandle dib;
  if (Dib::FromBytes(std::move(packed), &dib) != 0) {
    return nullptr;
  }
  return dib;
}

DibHandle LoadPreviewImage(const std::string& path, const FileTypeTable& types, const InputPreferences& preferences) {
  if (!IsInternalPreview(path)) {
    ReadResult read = ReadImageFile(nullptr, types, preferences, path, -1);
    if (read.code == 0 && read.image) {
      return std::move(read.image);
    }
  }
  return BuiltInPreview();
}

QImage BuildDisplayImage(const Dib* working, int fw, int fh, int screenDepth, DibHandle* displayDib) {
  if (displayDib) displayDib->reset();
  if (working == nullptr || fw < 1 || fh < 1) {
    return {};
  }
  const int w = working->width();
  const int h = working->height();
  const PreviewSize n = FitPreview(w, h, fw, fh);
  DibHandle copy;
  OpResult r = 0;
  if (n.height < h || n.width < w) {
    r = working->bitCount() == 24 ? ResampleDIB(nullptr, working, &copy, n.width, n.height)
                                  : ResizeDIB(nullptr, working, &copy, static_cast<std::int16_t>(n.width),
                                              static_cast<std::int16_t>(n.height));
  } else {
    r = CopyDIB(working, &copy);
  }
  if (r != 0 || !copy) {
    return {};
  }
  if (screenDepth < 24 && screenDepth < copy->bitCount()) {
    DibHandle reduced;
    // The ordered dither needs no lookup file.
    if (StandardPaletteDIB(nullptr, copy.get(), &reduced, screenDepth, 1, false, std::string()) == 0 && reduced) {
      copy = std::move(reduced);
    }
  }
  QImage image = DibPicture(*copy);
  if (displayDib) *displayDib = std::move(copy);
  return image;
}


}  // namespace km::gui
