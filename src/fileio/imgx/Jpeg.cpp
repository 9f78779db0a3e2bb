// JPEG through libjpeg-turbo. Errors longjmp back to the step that made the call and
// messages are swallowed; a file that ends before its last scan is refused rather
// than returned with grey rows. Grey JPEGs read as 8-bit grey images, colour ones
// (YCbCr, RGB, CMYK and YCCK) as 24 bits. Written with quality 1..100, optionally
// progressive, with the density in dots per inch; grey images as one channel.

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

// A hostile progressive file can ask for endless scans over the same pixels.
constexpr int kMaxScans = 1000;

struct ErrorSink {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool endedEarly;
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto* sink = reinterpret_cast<ErrorSink*>(cinfo->err);
  std::longjmp(sink->jump, 1);
}

extern "C" void JpegEmit(j_common_ptr cinfo, int level) {
  auto* sink = reinterpret_cast<ErrorSink*>(cinfo->err);
  if (level < 0) {
    sink->mgr.num_warnings++;
    if (sink->mgr.msg_code == JWRN_JPEG_EOF) {
      sink->endedEarly = true;
    }
  }
}

extern "C" void JpegOutput(j_common_ptr) {}

extern "C" void JpegScanLimit(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      ERREXIT(cinfo, JERR_NOT_COMPILED);
    }
  }
}

void InitErrors(ErrorSink* sink) {
  jpeg_std_error(&sink->mgr);
  sink->mgr.error_exit = JpegErrorExit;
  sink->mgr.emit_message = JpegEmit;
  sink->mgr.output_message = JpegOutput;
  sink->endedEarly = false;
}

struct ReadState {
  jpeg_decompress_struct cinfo;
  ErrorSink err;
  jpeg_progress_mgr limit;
  DibHandle dib;
  std::vector<std::uint8_t> cmyk;  // one row of four-channel samples
  Code code = kOk;
};

bool ReadSteps(ReadState* st, const std::vector<std::uint8_t>& file, ProgressWindow progress) {
  if (setjmp(st->err.jump) != 0) {
    return false;
  }
  jpeg_decompress_struct& c = st->cinfo;
  jpeg_create_decompress(&c);
  st->limit.progress_monitor = JpegScanLimit;
  c.progress = &st->limit;
  jpeg_mem_src(&c, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&c, TRUE);
  if (!ValidSize(c.image_width, c.image_height)) {
    st->code = kBadDimensions;
    return true;
  }
  const int w = static_cast<int>(c.image_width);
  const int h = static_cast<int>(c.image_height);
  const bool grey = c.jpeg_color_space == JCS_GRAYSCALE;
  const bool fourChannel = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  c.out_color_space = grey ? JCS_GRAYSCALE : (fourChannel ? JCS_CMYK : JCS_EXT_BGR);
  const int bits = grey ? 8 : 24;
  if (!WithinBudget(Dib::Stride(w, bits), h, file.size(), 1024)) {
    st->code = kBadDimensions;
    return true;
  }
  st->code = NewDib(w, h, bits, grey ? 256 : 0, &st->dib);
  if (st->code != kOk) {
    return true;
  }
  Dib& dib = *st->dib;
  if (grey) {
    for (int i = 0; i < 256; ++i) {
      const auto g = static_cast<std::uint8_t>(i);
      dib.colors()[i] = RgbQuad{g, g, g, 0};
    }
  }
  if (c.saw_JFIF_marker && c.X_density > 0 && c.Y_density > 0 && (c.density_unit == 1 || c.density_unit == 2)) {
    const double scale = c.density_unit == 1 ? 1.0 : 2.54;
    BitmapInfoHeader hdr = dib.header();
    hdr.biXPelsPerMeter = DpiToPerMetre(c.X_density * scale);
    hdr.biYPelsPerMeter = DpiToPerMetre(c.Y_density * scale);
    dib.setHeader(hdr);
  }
  jpeg_start_decompress(&c);
  if (fourChannel) {
    st->cmyk.resize(static_cast<std::size_t>(w) * 4);
  }
  while (c.output_scanline < c.output_height) {
    const int y = static_cast<int>(c.output_scanline);
    if (RowCancelled(progress, y, h)) {
      st->code = kCancelled;
      return true;
    }
    JSAMPROW row = fourChannel ? st->cmyk.data() : TopRow(dib, y);
    jpeg_read_scanlines(&c, &row, 1);
    if (fourChannel) {
      // Adobe writes CMYK inverted: each sample is 255 - ink, so colour = sample * k.
      std::uint8_t* dst = TopRow(dib, y);
      const std::uint8_t* s = st->cmyk.data();
      for (int x = 0; x < w; ++x, s += 4) {
        dst[3 * x] = static_cast<std::uint8_t>((s[2] * s[3] + 127) / 255);
        dst[3 * x + 1] = static_cast<std::uint8_t>((s[1] * s[3] + 127) / 255);
        dst[3 * x + 2] = static_cast<std::uint8_t>((s[0] * s[3] + 127) / 255);
      }
    }
  }
  jpeg_finish_decompress(&c);
  return true;
}

Code DecodeBytes(const std::vector<std::uint8_t>& file, ProgressWindow progress, DibHandle* out) {
  if (file.size() < 3 || file[0] != 0xFF || file[1] != 0xD8) {
    return kNotThisFormat;
  }
  auto st = std::make_unique<ReadState>();
  st->cinfo.err = &st->err.mgr;
  InitErrors(&st->err);
  bool finished = false;
  try {
    finished = ReadSteps(st.get(), file, progress);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&st->cinfo);
    return kNoMemory;
  }
  jpeg_destroy_decompress(&st->cinfo);
  if (!finished) {
    return st->err.mgr.last_jpeg_message == JERR_OUT_OF_MEMORY ? kNoMemory : kCorrupt;
  }
  if (st->code == kOk && st->err.endedEarly) {
    return kTruncated;
  }
  if (st->code == kOk) {
    *out = std::move(st->dib);
  }
  return st->code;
}

// A destination that grows a vector the state owns, so a cancelled or failed write
// frees the output with the state. (The library's own memory destination hands the
// grown buffer back only when compression finishes: after an abort its pointer still
// names the first, already released buffer.)
struct VectorDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* bytes = nullptr;
};

constexpr std::size_t kFirstOutputBytes = 64 * 1024;

void InitVectorDestination(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  try {
    d->bytes->resize(kFirstOutputBytes);
  } catch (const std::bad_alloc&) {
    ERREXIT1(c, JERR_OUT_OF_MEMORY, 0);
  }
  d->pub.next_output_byte = d->bytes->data();
  d->pub.free_in_buffer = d->bytes->size();
}

boolean GrowVectorDestination(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  const std::size_t used = d->bytes->size();
  try {
    d->bytes->resize(used * 2);
  } catch (const std::bad_alloc&) {
    ERREXIT1(c, JERR_OUT_OF_MEMORY, 0);
  }
  d->pub.next_output_byte = d->bytes->data() + used;
  d->pub.free_in_buffer = d->bytes->size() - used;
  return TRUE;
}

void TermVectorDestination(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  d->bytes->resize(d->bytes->size() - d->pub.free_in_buffer);
}

struct WriteState {
  jpeg_compress_struct cinfo;
  ErrorSink err;
  VectorDestination dest;
  std::vector<std::uint8_t> bytes;
  Code code = kOk;
};

bool WriteSteps(WriteState* st, ProgressWindow progress, const Dib& dib, int quality, int dpi, int progressive) {
  if (setjmp(st->err.jump) != 0) {
    return false;
  }
  jpeg_compress_struct& c = st->cinfo;
  jpeg_create_compress(&c);
  st->dest.bytes = &st->bytes;
  st->dest.pub.init_destination = InitVectorDestination;
  st->dest.pub.empty_output_buffer = GrowVectorDestination;
  st->dest.pub.term_destination = TermVectorDestination;
  c.dest = &st->dest.pub;
  const bool grey = dib.bitCount() == 8;
  c.image_width = static_cast<JDIMENSION>(dib.width());
  c.image_height = static_cast<JDIMENSION>(dib.height());
  c.input_components = grey ? 1 : 3;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
  if (progressive != 0) {
    jpeg_simple_progression(&c);
  }
  c.write_JFIF_header = TRUE;
  if (dpi > 0) {
    c.density_unit = 1;
    c.X_density = static_cast<UINT16>(dpi > 65535 ? 65535 : dpi);
    c.Y_density = c.X_density;
  }
  jpeg_start_compress(&c, TRUE);
  const int h = dib.height();
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    if (RowCancelled(progress, y, h)) {
      st->code = kCancelled;
      jpeg_abort_compress(&c);
      return true;
    }
    JSAMPROW row = const_cast<JSAMPROW>(TopRow(dib, y));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  return true;
}

}  // namespace

namespace {

// The header fields of a JPEG held in memory.
Code ReadInfo(const std::vector<std::uint8_t>& f, ImageInfo* found) {
  auto st = std::make_unique<ReadState>();
  st->cinfo.err = &st->err.mgr;
  InitErrors(&st->err);
  if (setjmp(st->err.jump) != 0) {
    jpeg_destroy_decompress(&st->cinfo);
    return kCorrupt;
  }
  jpeg_create_decompress(&st->cinfo);
  jpeg_mem_src(&st->cinfo, f.data(), static_cast<unsigned long>(f.size()));
  jpeg_read_header(&st->cinfo, TRUE);
  FillInfo(11, static_cast<int>(st->cinfo.image_width), static_cast<int>(st->cinfo.image_height),
           8 * st->cinfo.num_components, found);
  jpeg_destroy_decompress(&st->cinfo);
  return kOk;
}

}  // namespace

Code InfoJPG(const std::string& path, ImageInfo* info) { return InfoWholeFile(path, info, ReadInfo); }

Code DecodeJPG(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& f) { return DecodeBytes(f, progress, out); });
}

Code EncodeJPG(ProgressWindow progress, const std::string& path, const Dib* dib, int quality, int dpi,
               int progressive) {
  if (ValidateDib(dib) != 0 || (dib->bitCount() != 24 && !IsDIBGreyScaled(dib))) {
    return kDepthNotWritable;
  }
  try {
    auto st = std::make_unique<WriteState>();
    st->cinfo.err = &st->err.mgr;
    InitErrors(&st->err);
    const bool finished = WriteSteps(st.get(), progress, *dib, quality, dpi, progressive);
    jpeg_destroy_compress(&st->cinfo);
    const Code c = !finished ? kWriteError : st->code;
    if (c != kOk) {
      return c;
    }
    return WriteFileBytes(path, st->bytes);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
