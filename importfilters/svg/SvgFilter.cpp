// The SVG import filter: renders the drawing with librsvg onto a Cairo image at its
// own size (its width and height at 96 pixels per inch, else its viewBox, else the
// extent of what it draws) and hands it over as a bitmap metafile, over white.

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>

#include "../shared/BitmapMetafile.h"

namespace {

using namespace km::filterkit;

// The drawing's size in pixels; false when it gives none.
bool DrawingSize(RsvgHandle* svg, double* width, double* height) {
  if (rsvg_handle_get_intrinsic_size_in_pixels(svg, width, height) && *width > 0 && *height > 0) {
    return true;
  }
  gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
  RsvgLength w{}, h{};
  RsvgRectangle viewBox{};
  rsvg_handle_get_intrinsic_dimensions(svg, &hasWidth, &w, &hasHeight, &h, &hasViewBox, &viewBox);
  if (hasViewBox && viewBox.width > 0 && viewBox.height > 0) {
    *width = viewBox.width;
    *height = viewBox.height;
    return true;
  }
  // Neither: measure what it draws in a 100 x 100 viewport (what relative sizes refer to).
  const RsvgRectangle probe{0, 0, 100, 100};
  RsvgRectangle ink{}, logical{};
  if (rsvg_handle_get_geometry_for_layer(svg, nullptr, &probe, &ink, &logical, nullptr) && ink.width > 0 &&
      ink.height > 0) {
    *width = ink.x + ink.width;
    *height = ink.y + ink.height;
    return true;
  }
  return false;
}

int Render(RsvgHandle* svg, KmPictInfo* picture) {
  double w = 0, h = 0;
  if (!DrawingSize(svg, &w, &h)) {
    return kCannotRead;
  }
  if (!(w < 32768 && h < 32768)) {
    return kTooLarge;
  }
  const int width = std::max(1, static_cast<int>(std::lround(w)));
  const int height = std::max(1, static_cast<int>(std::lround(h)));
  if (static_cast<long long>(width) * height > kMaxPixels) {
    return kTooLarge;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return kNoMemory;
  }
  cairo_t* cr = cairo_create(surface);
  const RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
  const gboolean drawn = rsvg_handle_render_document(svg, cr, &viewport, nullptr);
  cairo_destroy(cr);
  int r = kCannotRead;
  if (drawn) {
    cairo_surface_flush(surface);
    // ARGB32 is premultiplied, one 32-bit word a pixel: B, G, R, A in memory here.
    r = MakeBitmapMetafile(cairo_image_surface_get_data(surface), width, height,
                           cairo_image_surface_get_stride(surface), true, picture);
  }
  cairo_surface_destroy(surface);
  return r;
}

}  // namespace

extern "C" {

KM_FILTER_EXPORT int ImportGr(void* /*deviceContext*/, const KmImportFile* file, KmPictInfo* picture,
                              KmFilterMemory /*preferences*/) {
  GFile* source = g_file_new_for_path(ImportPath(file));
  GError* error = nullptr;
  RsvgHandle* svg = rsvg_handle_new_from_gfile_sync(source, RSVG_HANDLE_FLAGS_NONE, nullptr, &error);
  g_object_unref(source);
  if (svg == nullptr) {
    const bool missing = error != nullptr && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_FOUND;
    g_clear_error(&error);
    return missing ? kCannotOpen : kCannotRead;
  }
  const int r = Render(svg, picture);
  g_object_unref(svg);
  return r;
}

}  // extern "C"
