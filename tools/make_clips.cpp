// Draws the program's three animation clips and writes them as RLE8 AVI
// files into the folder given as the only argument:
//   filecopy.avi  a sheet flies from one folder into another
//   filedelr.avi  a sheet flies from a folder into the waste bin
//   search.avi    a magnifying glass circles over a folder
// The drawing uses a small fixed palette and no antialiasing, so every pixel
// is one of the palette's colours; the background colour is the one the
// animation control shows as transparent.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 272;
constexpr int kHeight = 60;
constexpr int kFrames = 16;
constexpr std::uint32_t kMicrosPerFrame = 66'667;  // 15 frames a second
constexpr double kPi = 3.14159265358979323846;

// Index 0 is the background, shown transparent by the player.
const std::vector<QColor> kPalette = {
    QColor(192, 192, 192),  // 0 background
    QColor(0, 0, 0),        // 1 outline
    QColor(255, 255, 255),  // 2 paper
    QColor(128, 128, 128),  // 3 shadow, lines on paper
    QColor(255, 214, 90),   // 4 folder
    QColor(204, 153, 40),   // 5 folder, back
    QColor(170, 210, 255),  // 6 glass
    QColor(120, 70, 20),    // 7 handle
    QColor(96, 112, 128),   // 8 bin
    QColor(0, 0, 128),      // 9 blue text lines
};

QColor C(int index) { return kPalette[static_cast<std::size_t>(index)]; }

void DrawFolder(QPainter& p, int x, int y) {
  p.setPen(C(1));
  p.setBrush(C(5));
  p.drawPolygon(QPolygon({QPoint(x, y + 4), QPoint(x + 14, y + 4), QPoint(x + 18, y), QPoint(x + 34, y),
                          QPoint(x + 36, y + 4), QPoint(x + 44, y + 4), QPoint(x + 44, y + 34),
                          QPoint(x, y + 34)}));
  p.setBrush(C(4));
  p.drawPolygon(QPolygon({QPoint(x, y + 34), QPoint(x + 4, y + 12), QPoint(x + 48, y + 12), QPoint(x + 44, y + 34)}));
}

void DrawSheet(QPainter& p, int x, int y, double scale = 1.0) {
  const int w = static_cast<int>(18 * scale), h = static_cast<int>(24 * scale), fold = static_cast<int>(6 * scale);
  if (w < 3 || h < 3) return;
  p.setPen(C(1));
  p.setBrush(C(2));
  p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + w - fold, y), QPoint(x + w, y + fold), QPoint(x + w, y + h),
                          QPoint(x, y + h)}));
  p.setPen(C(9));
  for (int line = y + fold + 2; line < y + h - 2; line += std::max(2, static_cast<int>(4 * scale)))
    p.drawLine(x + 3, line, x + w - 4, line);
}

void DrawBin(QPainter& p, int x, int y) {
  p.setPen(C(1));
  p.setBrush(C(8));
  p.drawPolygon(QPolygon({QPoint(x, y + 6), QPoint(x + 36, y + 6), QPoint(x + 32, y + 40), QPoint(x + 4, y + 40)}));
  p.drawRect(x - 3, y + 2, 42, 4);
  p.setPen(C(3));
  for (int i = 1; i < 4; ++i) p.drawLine(x + 9 * i, y + 10, x + 9 * i - (i - 2), y + 36);
}

void DrawGlass(QPainter& p, int cx, int cy) {
  p.setPen(QPen(C(7), 4));
  p.drawLine(cx + 7, cy + 7, cx + 16, cy + 16);
  p.setPen(QPen(C(1), 2));
  p.setBrush(C(6));
  p.drawEllipse(QPoint(cx, cy), 10, 10);
}

// One point on the flight from (x0, y0) to (x1, y0), raised in the middle.
QPoint Flight(int x0, int x1, int y0, int lift, int frame) {
  const double t = static_cast<double>(frame) / (kFrames - 1);
  return {static_cast<int>(x0 + t * (x1 - x0)), static_cast<int>(y0 - std::sin(kPi * t) * lift)};
}

using FramePainter = std::function<void(QPainter&, int frame)>;

void PaintCopy(QPainter& p, int frame) {
  DrawFolder(p, 8, 20);
  DrawFolder(p, 216, 20);
  const QPoint at = Flight(22, 232, 22, 20, frame);
  DrawSheet(p, at.x(), at.y());
}

void PaintDelete(QPainter& p, int frame) {
  DrawFolder(p, 8, 20);
  DrawBin(p, 222, 16);
  const QPoint at = Flight(22, 230, 22, 20, frame);
  DrawSheet(p, at.x(), at.y(), frame < kFrames - 3 ? 1.0 : 0.6);
}

void PaintSearch(QPainter& p, int frame) {
  DrawFolder(p, 112, 20);
  const double angle = 2 * kPi * frame / kFrames;
  DrawGlass(p, 136 + static_cast<int>(std::cos(angle) * 48), 30 + static_cast<int>(std::sin(angle) * 12));
}

std::vector<std::uint8_t> ToIndices(const QImage& image) {
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(kWidth) * kHeight);
  // Bottom row first, as bitmaps are stored.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const QRgb pixel = image.pixel(x, kHeight - 1 - y);
      int best = 0, bestDistance = 1 << 30;
      for (std::size_t i = 0; i < kPalette.size(); ++i) {
        const int dr = qRed(pixel) - kPalette[i].red(), dg = qGreen(pixel) - kPalette[i].green(),
                  db = qBlue(pixel) - kPalette[i].blue();
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) { best = static_cast<int>(i); bestDistance = distance; }
      }
      indices[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint8_t>(best);
    }
  }
  return indices;
}

// RLE8: runs of one value as (count, value); stretches of differing values
// of three or more in absolute mode (0, n, values, pad to even); each row
// ends with (0, 0), the bitmap with (0, 1).
std::vector<std::uint8_t> EncodeRle8(const std::vector<std::uint8_t>& indices) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* row = indices.data() + static_cast<std::size_t>(y) * kWidth;
    int x = 0;
    while (x < kWidth) {
      int run = 1;
      while (x + run < kWidth && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 2) {
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(row[x]);
        x += run;
        continue;
      }
      int literal = 1;  // up to where a run of two begins
      while (x + literal < kWidth && literal < 255 &&
             !(x + literal + 1 < kWidth && row[x + literal] == row[x + literal + 1]))
        ++literal;
      if (literal < 3) {
        for (int i = 0; i < literal; ++i) { out.push_back(1); out.push_back(row[x + i]); }
      } else {
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(literal));
        out.insert(out.end(), row + x, row + x + literal);
        if (literal & 1) out.push_back(0);
      }
      x += literal;
    }
    out.push_back(0);
    out.push_back(y + 1 < kHeight ? 0 : 1);
  }
  return out;
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutFcc(std::vector<std::uint8_t>& b, const char* fcc) { b.insert(b.end(), fcc, fcc + 4); }

std::vector<std::uint8_t> Chunk(const char* fcc, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> c;
  PutFcc(c, fcc);
  Put32(c, static_cast<std::uint32_t>(data.size()));
  c.insert(c.end(), data.begin(), data.end());
  if (data.size() & 1) c.push_back(0);
  return c;
}

std::vector<std::uint8_t> List(const char* type, const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> data;
  PutFcc(data, type);
  data.insert(data.end(), body.begin(), body.end());
  return Chunk("LIST", data);
}

std::vector<std::uint8_t> MakeAvi(const std::vector<std::vector<std::uint8_t>>& frames) {
  std::size_t largest = 0;
  for (const auto& f : frames) largest = std::max(largest, f.size());
  const auto count = static_cast<std::uint32_t>(frames.size());

  std::vector<std::uint8_t> avih;
  for (std::uint32_t v : {kMicrosPerFrame, 0u, 0u, 0x10u /* has index */, count, 0u, 1u,
                          static_cast<std::uint32_t>(largest), std::uint32_t(kWidth), std::uint32_t(kHeight), 0u, 0u,
                          0u, 0u})
    Put32(avih, v);

  std::vector<std::uint8_t> strh;
  PutFcc(strh, "vids");
  PutFcc(strh, "mrle");
  for (std::uint32_t v : {0u, 0u /* priority, language */, 0u, 1u, 15u, 0u, count,
                          static_cast<std::uint32_t>(largest), 0xffffffffu, 0u})
    Put32(strh, v);
  for (std::uint16_t v : {std::uint16_t(0), std::uint16_t(0), std::uint16_t(kWidth), std::uint16_t(kHeight)})
    Put16(strh, v);

  std::vector<std::uint8_t> strf;
  for (std::uint32_t v : {40u, std::uint32_t(kWidth), std::uint32_t(kHeight)}) Put32(strf, v);
  Put16(strf, 1);
  Put16(strf, 8);
  for (std::uint32_t v : {1u /* RLE8 */, 0u, 0u, 0u, static_cast<std::uint32_t>(kPalette.size()), 0u})
    Put32(strf, v);
  for (const QColor& c : kPalette) {
    strf.push_back(static_cast<std::uint8_t>(c.blue()));
    strf.push_back(static_cast<std::uint8_t>(c.green()));
    strf.push_back(static_cast<std::uint8_t>(c.red()));
    strf.push_back(0);
  }

  std::vector<std::uint8_t> strl = Chunk("strh", strh);
  const auto strfChunk = Chunk("strf", strf);
  strl.insert(strl.end(), strfChunk.begin(), strfChunk.end());
  std::vector<std::uint8_t> hdrl = Chunk("avih", avih);
  const auto strlList = List("strl", strl);
  hdrl.insert(hdrl.end(), strlList.begin(), strlList.end());

  std::vector<std::uint8_t> movi, idx1;
  std::uint32_t offset = 4;  // index offsets count from the 'movi' type code
  for (const auto& f : frames) {
    PutFcc(idx1, "00dc");
    Put32(idx1, 0x10);  // key frame
    Put32(idx1, offset);
    Put32(idx1, static_cast<std::uint32_t>(f.size()));
    const auto chunk = Chunk("00dc", f);
    movi.insert(movi.end(), chunk.begin(), chunk.end());
    offset += static_cast<std::uint32_t>(chunk.size());
  }

  std::vector<std::uint8_t> body;
  PutFcc(body, "AVI ");
  for (const auto& part : {List("hdrl", hdrl), List("movi", movi), Chunk("idx1", idx1)})
    body.insert(body.end(), part.begin(), part.end());
  return Chunk("RIFF", body);
}

bool WriteClip(const std::string& path, const FramePainter& paint) {
  std::vector<std::vector<std::uint8_t>> frames;
  for (int frame = 0; frame < kFrames; ++frame) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(C(0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paint(painter, frame);
    painter.end();
    frames.push_back(EncodeRle8(ToIndices(image)));
  }
  const auto avi = MakeAvi(frames);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(avi.data()), static_cast<std::streamsize>(avi.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const std::string folder = argv[1];
  const bool ok = WriteClip(folder + "/filecopy.avi", PaintCopy) && WriteClip(folder + "/filedelr.avi", PaintDelete) &&
                  WriteClip(folder + "/search.avi", PaintSearch);
  if (!ok) std::fprintf(stderr, "cannot write the clips into %s\n", argv[1]);
  return ok ? 0 : 1;
}
