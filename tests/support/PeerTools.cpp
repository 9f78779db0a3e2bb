#include "support/PeerTools.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/DibTestUtil.h"

extern char** environ;

namespace km::test {

std::string FindPeer(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr || program.empty()) {
    return {};
  }
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) {
      continue;
    }
    const std::string candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

bool HavePeer(const std::string& program) { return !FindPeer(program).empty(); }

std::string PeerConverter() {
  if (HavePeer("convert-im6.q16")) {
    return "convert-im6.q16";
  }
  if (HavePeer("gm")) {
    return "gm";
  }
  return {};
}

int RunPeer(const std::vector<std::string>& argv, const std::string& stdinPath,
            const std::string& stdoutPath) {
  if (argv.empty()) {
    return -1;
  }
  const std::string exe = FindPeer(argv[0]);
  if (exe.empty()) {
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY, 0);
  if (!stdoutPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return -1;
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// Reads PNM header tokens: whitespace and '#' comments between them.
class PnmTokens {
public:
  explicit PnmTokens(const std::vector<std::uint8_t>& b) : b_(b) {}
  bool number(long* v) {
    skipSpace();
    if (pos_ >= b_.size() || !std::isdigit(b_[pos_])) {
      return false;
    }
    long n = 0;
    while (pos_ < b_.size() && std::isdigit(b_[pos_])) {
      n = n * 10 + (b_[pos_++] - '0');
      if (n > 1000000) {
        return false;
      }
    }
    *v = n;
    return true;
  }
  std::string word() {
    skipSpace();
    std::string w;
    while (pos_ < b_.size() && !std::isspace(b_[pos_])) {
      w += static_cast<char>(b_[pos_++]);
    }
    return w;
  }
  std::string line() {
    std::string l;
    while (pos_ < b_.size() && b_[pos_] != '\n') {
      l += static_cast<char>(b_[pos_++]);
    }
    if (pos_ < b_.size()) {
      ++pos_;
    }
    return l;
  }
  void skipOne() { ++pos_; }  // the single whitespace after the header
  void skipSpace() {
    while (pos_ < b_.size()) {
      if (b_[pos_] == '#') {
        while (pos_ < b_.size() && b_[pos_] != '\n') {
          ++pos_;
        }
      } else if (std::isspace(b_[pos_])) {
        ++pos_;
      } else {
        break;
      }
    }
  }
  std::size_t pos() const { return pos_; }

private:
  const std::vector<std::uint8_t>& b_;
  std::size_t pos_ = 2;
};

int Scale(long v, long maxval) { return static_cast<int>((v * 255 + maxval / 2) / maxval); }

}  // namespace

DibHandle ParsePnm(const std::vector<std::uint8_t>& b) {
  if (b.size() < 3 || b[0] != 'P' || b[1] < '1' || b[1] > '7') {
    return nullptr;
  }
  const int kind = b[1] - '0';
  PnmTokens t(b);
  long width = 0;
  long height = 0;
  long maxval = 1;
  int channels = 1;
  bool bitmap = kind == 1 || kind == 4;
  if (kind == 7) {
    long depth = 0;
    for (;;) {
      const std::string key = t.word();
      if (key == "ENDHDR") {
        t.line();
        break;
      }
      if (key.empty()) {
        return nullptr;
      }
      if (key == "WIDTH") {
        t.number(&width);
      } else if (key == "HEIGHT") {
        t.number(&height);
      } else if (key == "DEPTH") {
        t.number(&depth);
      } else if (key == "MAXVAL") {
        t.number(&maxval);
      } else {
        t.line();
      }
    }
    channels = static_cast<int>(depth);
    if (channels < 1 || channels > 4) {
      return nullptr;
    }
  } else {
    if (!t.number(&width) || !t.number(&height)) {
      return nullptr;
    }
    if (!bitmap && !t.number(&maxval)) {
      return nullptr;
    }
    channels = (kind == 3 || kind == 6) ? 3 : 1;
    if (kind >= 4) {
      t.skipOne();
    }
  }
  if (width < 1 || height < 1 || width > kMaxDibSide || height > kMaxDibSide || maxval < 1 || maxval > 65535) {
    return nullptr;
  }
  const bool ascii = kind <= 3;
  const int colourChannels = channels >= 3 ? 3 : 1;
  const int bits = bitmap ? 1 : (colourChannels == 3 ? 24 : 8);
  DibHandle dib = bits == 1 ? MakeDib(width, height, 1, 2) : (bits == 8 ? MakeGrey(width, height) : MakeDib(width, height, 24));
  if (!dib) {
    return nullptr;
  }
  if (bits == 1) {
    dib->colors()[0] = RgbQuad{255, 255, 255, 0};
    dib->colors()[1] = RgbQuad{0, 0, 0, 0};
  }
  std::size_t pos = t.pos();
  const int sampleBytes = maxval > 255 ? 2 : 1;
  auto sample = [&](long* v) -> bool {
    if (ascii) {
      return t.number(v);
    }
    if (pos + sampleBytes > b.size()) {
      return false;
    }
    *v = sampleBytes == 2 ? (b[pos] << 8 | b[pos + 1]) : b[pos];
    pos += sampleBytes;
    return true;
  };
  for (long y = 0; kind != 1 && y < height; ++y) {
    if (kind == 4) {
      const std::size_t rowBytes = (width + 7) / 8;
      if (pos + rowBytes > b.size()) {
        return nullptr;
      }
      for (long x = 0; x < width; ++x) {
        SetPixel(*dib, x, y, (b[pos + x / 8] >> (7 - x % 8)) & 1);
      }
      pos += rowBytes;
      continue;
    }
    for (long x = 0; x < width; ++x) {
      long v[4] = {0, 0, 0, 0};
      for (int c = 0; c < channels; ++c) {
        if (!sample(&v[c])) {
          return nullptr;
        }
      }
      if (bits == 1) {
        SetPixel(*dib, x, y, v[0] ? 1 : 0);
      } else if (bits == 8) {
        SetPixel(*dib, x, y, Scale(v[0], maxval));
      } else {
        SetPixel(*dib, x, y,
                 (static_cast<std::uint32_t>(Scale(v[0], maxval)) << 16) |
                     (static_cast<std::uint32_t>(Scale(v[1], maxval)) << 8) | Scale(v[2], maxval));
      }
    }
  }
  if (kind == 1) {
    // Plain PBM: one digit per pixel, whitespace optional.
    std::size_t p = t.pos();
    for (long y = 0; y < height; ++y) {
      for (long x = 0; x < width; ++x) {
        while (p < b.size() && b[p] != '0' && b[p] != '1') {
          if (b[p] == '#') {
            while (p < b.size() && b[p] != '\n') {
              ++p;
            }
          } else {
            ++p;
          }
        }
        if (p >= b.size()) {
          return nullptr;
        }
        SetPixel(*dib, x, y, b[p++] == '1' ? 1 : 0);
      }
    }
  }
  return dib;
}

DibHandle ReadPnmFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return nullptr;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParsePnm(bytes);
}

std::vector<std::uint32_t> RgbPixels(const Dib& dib) {
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(dib.width()) * dib.height());
  const int colours = dib.colorCount();
  for (int y = 0; y < dib.height(); ++y) {
    for (int x = 0; x < dib.width(); ++x) {
      const std::uint32_t v = GetPixel(dib, x, y);
      if (dib.bitCount() == 24) {
        out.push_back(v);
      } else if (static_cast<int>(v) < colours) {
        const RgbQuad q = dib.colors()[v];
        out.push_back((std::uint32_t{q.rgbRed} << 16) | (std::uint32_t{q.rgbGreen} << 8) | q.rgbBlue);
      } else {
        out.push_back(0xFF000000u | v);  // an index beyond the table never matches a colour
      }
    }
  }
  return out;
}

bool SameColours(const Dib& a, const Dib& b, int maxDiff, std::string* why) {
  if (a.width() != b.width() || a.height() != b.height()) {
    if (why != nullptr) {
      *why = "size " + std::to_string(a.width()) + "x" + std::to_string(a.height()) + " vs " +
             std::to_string(b.width()) + "x" + std::to_string(b.height());
    }
    return false;
  }
  const std::vector<std::uint32_t> pa = RgbPixels(a);
  const std::vector<std::uint32_t> pb = RgbPixels(b);
  for (std::size_t i = 0; i < pa.size(); ++i) {
    for (int shift = 0; shift <= 24; shift += 8) {
      const int ca = static_cast<int>((pa[i] >> shift) & 0xFF);
      const int cb = static_cast<int>((pb[i] >> shift) & 0xFF);
      if (std::abs(ca - cb) > (shift == 24 ? 0 : maxDiff)) {
        if (why != nullptr) {
          std::ostringstream s;
          s << "pixel (" << i % a.width() << ", " << i / a.width() << "): " << std::hex << pa[i] << " vs " << pb[i];
          *why = s.str();
        }
        return false;
      }
    }
  }
  return true;
}

bool WritePnmFile(const Dib& dib, const std::string& path, bool greyAsPgm) {
  std::ofstream out(path, std::ios::binary);
  if (!out) {
    return false;
  }
  const bool pgm = greyAsPgm && IsDIBGreyScaled(&dib);
  out << (pgm ? "P5\n" : "P6\n") << dib.width() << " " << dib.height() << "\n255\n";
  const std::vector<std::uint32_t> px = RgbPixels(dib);
  std::string data;
  data.reserve(px.size() * 3);
  for (std::uint32_t v : px) {
    if (pgm) {
      data += static_cast<char>(v & 0xFF);
    } else {
      data += static_cast<char>((v >> 16) & 0xFF);
      data += static_cast<char>((v >> 8) & 0xFF);
      data += static_cast<char>(v & 0xFF);
    }
  }
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

namespace {
std::vector<std::string> ConvertCommand() {
  const std::string peer = PeerConverter();
  if (peer == "gm") {
    return {"gm", "convert"};
  }
  return {peer};
}
}  // namespace

DibHandle PeerRead(const std::string& path) {
  std::vector<std::string> argv = ConvertCommand();
  if (argv.front().empty()) {
    return nullptr;
  }
  const std::string out = path + ".peer.ppm";
  argv.push_back(path + "[0]");
  argv.push_back("-depth");
  argv.push_back("8");
  argv.push_back("ppm:" + out);
  DibHandle dib;
  if (RunPeer(argv) == 0) {
    dib = ReadPnmFile(out);
  }
  std::filesystem::remove(out);
  return dib;
}

bool PeerWrite(const Dib& dib, const std::string& path, const std::vector<std::string>& options) {
  std::vector<std::string> argv = ConvertCommand();
  if (argv.front().empty()) {
    return false;
  }
  const bool grey = IsDIBGreyScaled(&dib);
  const std::string in = path + (grey ? ".peer.pgm" : ".peer.ppm");
  if (!WritePnmFile(dib, in, grey)) {
    return false;
  }
  argv.push_back(in);
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(path);
  const bool ok = RunPeer(argv) == 0 && std::filesystem::exists(path);
  std::filesystem::remove(in);
  return ok;
}

DibHandle NetpbmRead(const std::string& toPnm, const std::string& path) {
  const std::string pnm = path + ".pnm";
  if (RunPeer({toPnm, path}, {}, pnm) != 0) {
    return nullptr;
  }
  return ReadPnmFile(pnm);
}

bool NetpbmWriteBitmap(const Dib& dib, const std::string& fromPbm, const std::string& path) {
  const std::string ppm = path + ".ppm";
  const std::string pgm = path + ".pgm";
  const std::string pbm = path + ".pbm";
  return WritePnmFile(dib, ppm) && RunPeer({"ppmtopgm", ppm}, {}, pgm) == 0 &&
         RunPeer({"pgmtopbm", "-threshold", pgm}, {}, pbm) == 0 && RunPeer({fromPbm, pbm}, {}, path) == 0;
}

}  // namespace km::test
