#include "tools/skins/skin_maker.h"

#include "platform/kernel/kernel_files.h"
#include "tools/skins/gif_test_writer.h"
#include "tools/skins/skin_painter.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

namespace {

// The frames of an animation as a looping GIF89a with one global palette:
// the 256 most used colours of all frames, every other colour mapped to its
// nearest.
std::string EncodeAnimation(const std::vector<QImage>& frames, int delay) {
  std::map<QRgb, long long> counts;
  for (const QImage& frame : frames)
    for (int y = 0; y < frame.height(); ++y) {
      const QRgb* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < frame.width(); ++x) ++counts[row[x] & 0xFFFFFF];
    }
  std::vector<std::pair<long long, QRgb>> byUse;
  for (const auto& [rgb, n] : counts) byUse.emplace_back(-n, rgb);
  std::sort(byUse.begin(), byUse.end());
  giftest::Palette palette;
  for (size_t i = 0; i < byUse.size() && i < 256; ++i) palette.push_back(byUse[i].second);
  while (palette.size() < 256) palette.push_back(0);
  const size_t used = std::min<size_t>(byUse.size(), 256);
  std::unordered_map<QRgb, uint8_t> nearest;
  auto indexOf = [&](QRgb rgb) {
    auto it = nearest.find(rgb);
    if (it != nearest.end()) return it->second;
    int best = 0;
    long long bestDistance = -1;
    for (size_t i = 0; i < used; ++i) {
      const long long dr = qRed(rgb) - static_cast<int>((palette[i] >> 16) & 0xFF);
      const long long dg = qGreen(rgb) - static_cast<int>((palette[i] >> 8) & 0xFF);
      const long long db = qBlue(rgb) - static_cast<int>(palette[i] & 0xFF);
      const long long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(i);
      }
    }
    nearest.emplace(rgb, static_cast<uint8_t>(best));
    return static_cast<uint8_t>(best);
  };
  const int w = frames.front().width(), h = frames.front().height();
  giftest::GifWriter gif;
  gif.Header(w, h, palette);
  // Loops for ever.
  gif.Raw(std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19));
  for (const QImage& frame : frames) {
    giftest::Pixels pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      const QRgb* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = indexOf(row[x] & 0xFFFFFF);
    }
    gif.Control(delay);
    gif.Image(0, 0, w, h, pixels, {}, false, 8);
  }
  gif.Trailer();
  return gif.bytes;
}

bool EncodeStill(const SkinPicture& picture, const QImage& image, std::string* bytes) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  bool ok = false;
  const bool alpha = picture.keys.count("alpha") && picture.keys.at("alpha").text == "yes";
  switch (picture.format) {
    case SkinFormat::Png:
      ok = (alpha ? image : image.convertToFormat(QImage::Format_RGB32)).save(&buffer, "PNG");
      break;
    case SkinFormat::Bmp24:
      ok = image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
      break;
    case SkinFormat::Jpeg:
      ok = image.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", 95);
      break;
    case SkinFormat::Gif:
      break;
  }
  *bytes = data.toStdString();
  return ok;
}

// The file of a picture below the program folder ('\' becomes '/').
std::string OutputPath(const std::string& folder, const SkinPicture& picture) {
  std::string out = folder;
  if (!out.empty() && out.back() != '/') out += '/';
  return out + NativePath(picture.path);
}

bool WriteFileMakingFolders(const std::string& path, const std::string& bytes, std::string* error) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !CreateFolderTree(path.substr(0, slash))) {
    *error = "cannot create the folder of " + path;
    return false;
  }
  if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

struct SheetEntry {
  std::string name;
  QImage image;
  bool alpha = false;
};

// Every picture with its name under it, small ones doubled, on a mid-grey
// ground (a checker under pictures with alpha).
QImage DrawSheet(const std::vector<SheetEntry>& entries, const std::string& fontFamily) {
  const int sheetWidth = 1600, gap = 14;
  QFont font(QString::fromStdString(fontFamily));
  font.setPixelSize(11);
  const QFontMetrics metrics(font);
  struct Placed {
    QRect rect;
    int scale;
  };
  std::vector<Placed> placed;
  int x = gap, y = gap + 24, rowHeight = 0;
  for (const SheetEntry& e : entries) {
    const int scale = e.image.width() <= 48 && e.image.height() <= 48 ? 2 : 1;
    const int w = std::max(e.image.width() * scale, metrics.horizontalAdvance(QString::fromStdString(e.name)));
    const int h = e.image.height() * scale + metrics.height() + 4;
    if (x + w + gap > sheetWidth) {
      x = gap;
      y += rowHeight + gap;
      rowHeight = 0;
    }
    placed.push_back({QRect(x, y, w, h), scale});
    x += w + gap;
    rowHeight = std::max(rowHeight, h);
  }
  QImage sheet(sheetWidth, y + rowHeight + gap, QImage::Format_RGB32);
  sheet.fill(QColor(0x5A, 0x60, 0x68));
  QPainter p(&sheet);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(gap, gap + 12, QStringLiteral("Orvenna skins: every picture at its own size (small ones doubled)"));
  for (size_t i = 0; i < entries.size(); ++i) {
    const SheetEntry& e = entries[i];
    const QRect target(placed[i].rect.topLeft(), e.image.size() * placed[i].scale);
    if (e.alpha) {
      for (int cy = target.top(); cy < target.bottom(); cy += 4)
        for (int cx = target.left(); cx < target.right(); cx += 4)
          p.fillRect(QRect(cx, cy, 4, 4).intersected(target),
                     ((cx + cy) / 4) % 2 ? QColor(0xC8, 0xC8, 0xC8) : QColor(0xF0, 0xF0, 0xF0));
    }
    p.drawImage(target, e.image);
    p.drawText(target.left(), target.bottom() + 2 + metrics.ascent(), QString::fromStdString(e.name));
  }
  p.end();
  return sheet;
}

}  // namespace

bool MakeSkins(const SkinMakerOptions& options, std::string* error) {
  std::string text;
  if (!ReadWholeFile(options.description, &text)) {
    *error = "cannot read " + options.description;
    return false;
  }
  const std::string native = NativePath(options.description);
  const std::string fileName = native.substr(native.rfind('/') + 1);
  SkinDescription description;
  if (!ParseSkinDescription(text, fileName, &description, error)) return false;
  if (!CheckSkinFont(description, error)) return false;
  std::vector<SheetEntry> sheet;
  for (const SkinPicture& picture : description.pictures) {
    std::vector<QImage> images;
    if (!PaintSkinPicture(description, picture, &images, error)) return false;
    std::string bytes;
    if (picture.format == SkinFormat::Gif) {
      const int delay = picture.keys.count("delay") ? std::stoi(picture.keys.at("delay").text) : 10;
      bytes = EncodeAnimation(images, delay);
    } else if (!EncodeStill(picture, images.front(), &bytes)) {
      *error = "cannot encode " + picture.path;
      return false;
    }
    if (!WriteFileMakingFolders(OutputPath(options.outFolder, picture), bytes, error)) return false;
    const bool alpha = picture.keys.count("alpha") && picture.keys.at("alpha").text == "yes";
    sheet.push_back({picture.path, images.back(), alpha});
  }
  if (options.sheet.empty()) return true;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!DrawSheet(sheet, description.font).save(&buffer, "PNG")) {
    *error = "cannot encode the contact sheet";
    return false;
  }
  return WriteFileMakingFolders(NativePath(options.sheet), png.toStdString(), error);
}

int MakeSkinsMain(int argc, char** argv) {
  SkinMakerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "make_skins: %s wants a value\n", arg.c_str());
      return 2;
    }
    if (arg == "--description") {
      options.description = argv[++i];
    } else if (arg == "--out") {
      options.outFolder = argv[++i];
    } else if (arg == "--sheet") {
      options.sheet = argv[++i];
    } else {
      std::fprintf(stderr, "make_skins: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  if (options.description.empty() || options.outFolder.empty()) {
    std::fprintf(stderr, "usage: make_skins --description skins.ini --out FOLDER [--sheet FILE.png]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  std::string error;
  if (!MakeSkins(options, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
