// Fonts and text: CreateFont with the platform's height convention
// (negative: character height, positive: cell height), DrawText with its
// format flags, TextOut, metrics, the font enumeration and the font-alias
// file that maps the system's Windows faces to installed ones.
#include "platform/gdi/gdi_internal.h"

#include "platform/kernel/debug_sink.h"

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QTextLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_map>

namespace {

std::atomic<uint64_t> g_fontSerial{1};

std::mutex& AliasLock() {
  static std::mutex lock;
  return lock;
}
// Alias face → faces that serve it, from the loaded alias file.
std::vector<std::pair<QString, QStringList>>& Aliases() {
  static auto* list = new std::vector<std::pair<QString, QStringList>>();
  return *list;
}

QString FaceOf(const LOGFONTW& lf) {
  int n = 0;
  while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
  return QString::fromUtf16(lf.lfFaceName, n);
}

QFont BuildQFont(const LOGFONTW& lf, int pixelSize) {
  QFont f;
  QString face = FaceOf(lf);
  if (face.isEmpty()) face = QString::fromUtf8("宋体");
  f.setFamilies({face});
  f.setPixelSize(std::max(pixelSize, 1));
  f.setWeight(static_cast<QFont::Weight>(std::clamp<int>(lf.lfWeight ? lf.lfWeight : 400, 1, 1000)));
  f.setItalic(lf.lfItalic != 0);
  f.setUnderline(lf.lfUnderline != 0);
  f.setStrikeOut(lf.lfStrikeOut != 0);
  f.setKerning(false);
  if (lf.lfQuality == NONANTIALIASED_QUALITY)
    f.setStyleStrategy(QFont::NoAntialias);
  else
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  return f;
}

FontObject* MakeFont(const LOGFONTW& lf) {
  EnsureGuiApplication();
  auto* font = new FontObject;
  font->gdiType = OBJ_FONT;
  font->lf = lf;
  font->serial = g_fontSerial.fetch_add(1);
  int px = lf.lfHeight < 0 ? -lf.lfHeight : (lf.lfHeight == 0 ? 12 : lf.lfHeight);
  QFont f = BuildQFont(lf, px);
  if (lf.lfHeight > 0) {
    // A positive height is the cell height (ascent + descent).
    QFontMetrics fm(f);
    int cell = fm.ascent() + fm.descent();
    if (cell > 0) f = BuildQFont(lf, std::max(1, (px * px + cell / 2) / cell));
  }
  QFontMetrics fm(f);
  font->qfont = f;
  font->pixelSize = f.pixelSize();
  font->ascent = fm.ascent();
  font->descent = fm.descent();
  font->height = font->ascent + font->descent;
  font->internalLeading = std::max(0, font->height - f.pixelSize());
  font->externalLeading = std::max(0, fm.leading());
  font->aveCharWidth = fm.averageCharWidth();
  font->maxCharWidth = fm.maxWidth();
  return font;
}

struct TextLine {
  QString text;
  int width = 0;
};

// A text shaped once per thread and font: its advance width and its glyph
// runs, so a repaint that draws the same texts again neither measures nor
// shapes them again. Bounded: the cache starts over when it grows large.
struct ShapedText {
  int width = 0;
  qreal ascent = 0;  // of the layout the runs are placed for
  QList<QGlyphRun> runs;
};

struct ShapeKey {
  uint64_t serial;
  QString text;
  bool operator==(const ShapeKey& o) const { return serial == o.serial && text == o.text; }
};
struct ShapeKeyHash {
  size_t operator()(const ShapeKey& k) const { return qHash(k.text, static_cast<size_t>(k.serial)); }
};

const ShapedText& Shaped(const ThreadFont& tf, uint64_t serial, const QString& s) {
  thread_local std::unordered_map<ShapeKey, ShapedText, ShapeKeyHash> cache;
  ShapeKey key{serial, s};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() >= 8192) cache.clear();
  ShapedText st;
  st.width = tf.metrics.horizontalAdvance(s);
  QTextLayout layout(s, tf.font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (line.isValid()) {
    st.ascent = line.ascent();
    st.runs = layout.glyphRuns();
  }
  return cache.emplace(std::move(key), std::move(st)).first->second;
}

bool IsCjk(QChar c) {
  ushort u = c.unicode();
  return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF) ||
         (u >= 0x3000 && u <= 0x303F);
}

class TextLayout {
 public:
  TextLayout(FontObject* font, UINT format) : tf_(FontForThread(font)), font_(font), format_(format) {
    tabWidth_ = std::max(1, font->aveCharWidth * 8);
  }

  // Width of a line, tabs expanded to the next tab stop when asked.
  int Width(const QString& s) const {
    if (!(format_ & DT_EXPANDTABS) || !s.contains(QLatin1Char('\t'))) return Shaped(tf_, font_->serial, s).width;
    int x = 0;
    const QStringList parts = s.split(QLatin1Char('\t'));
    for (int i = 0; i < parts.size(); ++i) {
      x += tf_.metrics.horizontalAdvance(parts[i]);
      if (i + 1 < parts.size()) x = (x / tabWidth_ + 1) * tabWidth_;
    }
    return x;
  }

  std::vector<TextLine> Lines(QString text, int maxWidth) const {
    std::vector<TextLine> lines;
    if (format_ & DT_SINGLELINE) {
      text.remove(QLatin1Char('\r'));
      text.remove(QLatin1Char('\n'));
      if (!(format_ & DT_EXPANDTABS)) text.remove(QLatin1Char('\t'));
      lines.push_back({text, Width(text)});
      return lines;
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!(format_ & DT_EXPANDTABS)) text.remove(QLatin1Char('\t'));
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (const QString& para : paragraphs) {
      if (!(format_ & DT_WORDBREAK)) {
        lines.push_back({para, Width(para)});
        continue;
      }
      Wrap(para, maxWidth, &lines);
    }
    return lines;
  }

  // Breaks a paragraph at spaces and around ideographs; a word longer than
  // the line stays whole (it is clipped or ellipsised later).
  void Wrap(const QString& para, int maxWidth, std::vector<TextLine>* out) const {
    if (para.isEmpty()) {
      out->push_back({QString(), 0});
      return;
    }
    // Split into units: words with their trailing spaces, single ideographs.
    std::vector<QString> units;
    QString cur;
    for (QChar c : para) {
      if (IsCjk(c)) {
        if (!cur.isEmpty()) units.push_back(cur);
        cur.clear();
        units.push_back(QString(c));
        continue;
      }
      if (c == QLatin1Char(' ')) {
        cur += c;
        units.push_back(cur);
        cur.clear();
        continue;
      }
      if (!cur.isEmpty() && cur.back() == QLatin1Char(' ')) {
        units.push_back(cur);
        cur.clear();
      }
      cur += c;
    }
    if (!cur.isEmpty()) units.push_back(cur);
    QString line;
    for (const QString& u : units) {
      QString candidate = line + u;
      QString trimmed = candidate;
      while (trimmed.endsWith(QLatin1Char(' '))) trimmed.chop(1);
      if (!line.isEmpty() && Width(trimmed) > maxWidth) {
        QString done = line;
        while (done.endsWith(QLatin1Char(' '))) done.chop(1);
        out->push_back({done, Width(done)});
        line = u.trimmed().isEmpty() ? QString() : u;
        continue;
      }
      line = candidate;
    }
    while (line.endsWith(QLatin1Char(' '))) line.chop(1);
    out->push_back({line, Width(line)});
  }

  QString Ellipsised(const QString& s, int maxWidth) const {
    static const QString dots = QStringLiteral("...");
    if (Width(s) <= maxWidth) return s;
    // The longest head that fits with the dots (widths grow with length).
    int lo = 0, hi = static_cast<int>(s.size());
    while (lo < hi) {
      int mid = (lo + hi + 1) / 2;
      if (Width(s.left(mid) + dots) <= maxWidth)
        lo = mid;
      else
        hi = mid - 1;
    }
    int n = lo;
    if (n > 0 && s[n - 1].isHighSurrogate()) --n;  // never split a pair
    return s.left(n) + dots;
  }

  const ThreadFont& tf_;
  FontObject* font_;
  UINT format_;
  int tabWidth_ = 64;
};

QString StripPrefix(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&')) {
      if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

int U16Length(LPCWSTR text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

QColor QColorOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Draws one line with its top-left corner at (x, y) in picture coordinates.
void PaintLine(QPainter& p, HDC dc, const TextLayout& layout, const QString& s, int x, int y, int width) {
  FontObject* font = dc->s.font;
  if (dc->s.bkMode == OPAQUE && width > 0)
    p.fillRect(QRect(x, y, width, font->height), QColorOf(dc->s.bkColor));
  if (!(layout.format_ & DT_EXPANDTABS) || !s.contains(QLatin1Char('\t'))) {
    if (font->lf.lfUnderline || font->lf.lfStrikeOut) {  // lines drawn by QPainter
      p.drawText(QPoint(x, y + font->ascent), s);
      return;
    }
    const ShapedText& st = Shaped(layout.tf_, font->serial, s);
    QPointF origin(x, y + font->ascent - st.ascent);
    for (const QGlyphRun& run : st.runs) p.drawGlyphRun(origin, run);
    return;
  }
  int cx = 0;
  const QStringList parts = s.split(QLatin1Char('\t'));
  for (int i = 0; i < parts.size(); ++i) {
    p.drawText(QPoint(x + cx, y + font->ascent), parts[i]);
    cx += layout.tf_.metrics.horizontalAdvance(parts[i]);
    if (i + 1 < parts.size()) cx = (cx / layout.tabWidth_ + 1) * layout.tabWidth_;
  }
}

void BeginText(QPainter& p, HDC dc, const QRegion& clip) {
  p.setRenderHint(QPainter::TextAntialiasing, dc->s.font->lf.lfQuality != NONANTIALIASED_QUALITY);
  if (clip.rectCount() == 1)
    p.setClipRect(clip.boundingRect());
  else
    p.setClipRegion(clip);
  p.setFont(FontForThread(dc->s.font).font);
  p.setPen(QColorOf(dc->s.textColor));
}

}  // namespace

const ThreadFont& FontForThread(FontObject* font) {
  thread_local std::unordered_map<uint64_t, ThreadFont> cache;
  auto it = cache.find(font->serial);
  if (it != cache.end()) return it->second;
  if (cache.size() > 512) cache.clear();
  QFont copy = BuildQFont(font->lf, font->pixelSize);
  return cache.emplace(font->serial, ThreadFont{copy, QFontMetrics(copy)}).first->second;
}

FontObject* DefaultGuiFont() {
  static FontObject* font = [] {
    LOGFONTW lf;
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    const char16_t face[] = u"宋体";
    std::memcpy(lf.lfFaceName, face, sizeof face);
    FontObject* f = MakeFont(lf);
    f->stock = true;
    RegisterGdiObject(f);
    return f;
  }();
  return font;
}

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (!lf) return nullptr;
  FontObject* f = MakeFont(*lf);
  RegisterGdiObject(f);
  return f;
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
  LOGFONTW lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (face) {
    for (int i = 0; i < LF_FACESIZE - 1 && face[i]; ++i) lf.lfFaceName[i] = face[i];
  }
  return CreateFontIndirectW(&lf);
}

const QFont* GetQFont(HFONT font) {
  FontObject* f = AsFont(font);
  return f ? &FontForThread(f).font : nullptr;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm) {
  if (!IsValidDc(hdc) || !tm) return FALSE;
  FontObject* f = hdc->s.font;
  *tm = TEXTMETRICW();
  tm->tmHeight = f->height;
  tm->tmAscent = f->ascent;
  tm->tmDescent = f->descent;
  tm->tmInternalLeading = f->internalLeading;
  tm->tmExternalLeading = f->externalLeading;
  tm->tmAveCharWidth = f->aveCharWidth;
  tm->tmMaxCharWidth = f->maxCharWidth;
  tm->tmWeight = f->lf.lfWeight ? f->lf.lfWeight : FW_NORMAL;
  tm->tmItalic = f->lf.lfItalic;
  tm->tmUnderlined = f->lf.lfUnderline;
  tm->tmStruckOut = f->lf.lfStrikeOut;
  tm->tmCharSet = f->lf.lfCharSet;
  tm->tmPitchAndFamily = TRUETYPE_FONTTYPE | VARIABLE_PITCH;
  return TRUE;
}

int GetTextFaceW(HDC hdc, int capacity, LPWSTR out) {
  if (!IsValidDc(hdc)) return 0;
  const LOGFONTW& lf = hdc->s.font->lf;
  int n = 0;
  while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
  if (!out) return n + 1;
  if (capacity <= 0) return 0;
  int copy = std::min(n, capacity - 1);
  std::copy(lf.lfFaceName, lf.lfFaceName + copy, out);
  out[copy] = 0;
  return copy;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int length, SIZE* size) {
  if (!IsValidDc(hdc) || !size || (!text && length > 0)) return FALSE;
  if (length < 0) return FALSE;
  const ThreadFont& tf = FontForThread(hdc->s.font);
  size->cx = length > 0 ? tf.metrics.horizontalAdvance(QString::fromUtf16(text, length)) : 0;
  size->cy = hdc->s.font->height;
  return TRUE;
}

BOOL GetTextExtentPointW(HDC hdc, LPCWSTR text, int length, SIZE* size) {
  return GetTextExtentPoint32W(hdc, text, length, size);
}

int DrawTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format) {
  if (!IsValidDc(hdc) || !text || !rect) return 0;
  if (length < 0) length = U16Length(text);
  QString s = QString::fromUtf16(text, length);
  if (!(format & DT_NOPREFIX) && s.contains(QLatin1Char('&'))) s = StripPrefix(s);
  FontObject* font = hdc->s.font;
  TextLayout layout(font, format);
  int boxWidth = rect->right - rect->left;
  std::vector<TextLine> lines = layout.Lines(s, boxWidth);
  int lineHeight = font->height + ((format & DT_EXTERNALLEADING) ? font->externalLeading : 0);
  int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, l.width);
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  if (!hdc->image) return 0;
  if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
    for (TextLine& l : lines) {
      if (l.width <= boxWidth) continue;
      l.text = layout.Ellipsised(l.text, boxWidth);
      l.width = layout.Width(l.text);
    }
  }
  int y = rect->top;
  int result = total;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) {
      y = (rect->top + rect->bottom - lineHeight) / 2;
      result = y - rect->top + lineHeight;
    } else if (format & DT_BOTTOM) {
      y = rect->bottom - lineHeight;
      result = rect->bottom - rect->top;
    }
  }
  QRegion clip = hdc->Clip();
  if (!(format & DT_NOCLIP)) {
    QRect box(hdc->ToImage(rect->left, rect->top), hdc->ToImage(rect->right - 1, rect->bottom - 1));
    clip &= QRegion(box);
  }
  if (clip.isEmpty()) return result;
  QPainter p(hdc->image);
  BeginText(p, hdc, clip);
  QPoint offset = hdc->Offset();
  for (const TextLine& l : lines) {
    int x = rect->left;
    if (format & DT_CENTER)
      x = (rect->left + rect->right - l.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - l.width;
    PaintLine(p, hdc, layout, l.text, x + offset.x(), y + offset.y(), l.width);
    y += lineHeight;
  }
  p.end();
  NotifyDcDrawn(hdc);
  return result;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length, const int*) {
  if (!IsValidDc(hdc) || !hdc->image) return FALSE;
  QRegion clip = hdc->Clip();
  QPoint offset = hdc->Offset();
  QPainter p(hdc->image);
  if (rect && (options & ETO_OPAQUE)) {
    QRect box(hdc->ToImage(rect->left, rect->top), hdc->ToImage(rect->right - 1, rect->bottom - 1));
    p.setClipRegion(clip);
    p.fillRect(box, QColorOf(hdc->s.bkColor));
  }
  if (rect && (options & ETO_CLIPPED))
    clip &= QRegion(QRect(hdc->ToImage(rect->left, rect->top), hdc->ToImage(rect->right - 1, rect->bottom - 1)));
  if (text && length > 0 && !clip.isEmpty()) {
    QString s = QString::fromUtf16(text, static_cast<int>(length));
    FontObject* font = hdc->s.font;
    const ThreadFont& tf = FontForThread(font);
    int width = tf.metrics.horizontalAdvance(s);
    UINT align = hdc->s.textAlign;
    if (align & TA_UPDATECP) {
      x = hdc->s.curPos.x;
      y = hdc->s.curPos.y;
    }
    if ((align & TA_CENTER) == TA_CENTER)
      x -= width / 2;
    else if (align & TA_RIGHT)
      x -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
      y -= font->ascent;
    else if (align & TA_BOTTOM)
      y -= font->height;
    BeginText(p, hdc, clip);
    TextLayout layout(font, 0);
    PaintLine(p, hdc, layout, s, x + offset.x(), y + offset.y(), (options & ETO_OPAQUE) ? 0 : width);
    if (align & TA_UPDATECP) hdc->s.curPos.x += width;
  }
  p.end();
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int length) {
  if (!text || length < 0) return FALSE;
  return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

// ---------------------------------------------------------------------------
// Enumeration and aliases.

namespace {
void FillFace(LOGFONTW* lf, const QString& face) {
  std::u16string u = face.toStdU16String();
  size_t n = std::min<size_t>(u.size(), LF_FACESIZE - 1);
  std::copy(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(n), lf->lfFaceName);
  lf->lfFaceName[n] = 0;
}
}  // namespace

QString ResolveFace(const QString& face) {
  std::lock_guard<std::mutex> guard(AliasLock());
  for (const auto& [alias, targets] : Aliases()) {
    if (alias.compare(face, Qt::CaseInsensitive) == 0 && !targets.isEmpty()) return targets.front();
  }
  return face;
}

int EnumFontsW(HDC, LPCWSTR face, FONTENUMPROCW proc, LPARAM lParam) {
  if (!proc) return 0;
  EnsureGuiApplication();
  QStringList faces = QFontDatabase::families();
  {
    std::lock_guard<std::mutex> guard(AliasLock());
    for (const auto& [alias, targets] : Aliases()) {
      bool served = std::any_of(targets.begin(), targets.end(),
                                [&](const QString& t) { return faces.contains(t, Qt::CaseInsensitive); });
      if (served && !faces.contains(alias, Qt::CaseInsensitive)) faces.push_back(alias);
    }
  }
  QString wanted = face ? QString::fromUtf16(face, U16Length(face)) : QString();
  int result = 1;
  for (const QString& f : faces) {
    if (!wanted.isEmpty() && f.compare(wanted, Qt::CaseInsensitive) != 0) continue;
    LOGFONTW lf;
    lf.lfHeight = 16;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    FillFace(&lf, f);
    TEXTMETRICW tm;
    tm.tmHeight = 16;
    result = proc(&lf, &tm, TRUETYPE_FONTTYPE, lParam);
    if (result == 0) break;
  }
  return result;
}

int EnumFontFamiliesW(HDC hdc, LPCWSTR face, FONTENUMPROCW proc, LPARAM lParam) {
  return EnumFontsW(hdc, face, proc, lParam);
}

bool LoadFontAliases(const std::string& given) {
  static std::mutex loadLock;
  static std::vector<std::string> loaded;
  // fontconfig resolves a relative file name against its own configuration
  // folder, not the working directory: hand it an absolute path.
  std::error_code ec;
  std::filesystem::path abs = std::filesystem::absolute(given, ec);
  std::string path = ec ? given : abs.lexically_normal().string();
  std::lock_guard<std::mutex> loadGuard(loadLock);
  if (std::find(loaded.begin(), loaded.end(), path) != loaded.end()) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  loaded.push_back(path);
  std::stringstream text;
  text << in.rdbuf();
  FcConfig* config = FcConfigGetCurrent();
  if (!config || !FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(path.c_str()), FcTrue)) {
    OutputDebugStringA("LoadFontAliases: fontconfig refused the alias file\n");
    return false;
  }
  QString xml = QString::fromUtf8(text.str());
  static const QRegularExpression aliasRe(QStringLiteral("<alias[^>]*>(.*?)</alias>"),
                                          QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression familyRe(QStringLiteral("<family>\\s*([^<]+?)\\s*</family>"));
  std::lock_guard<std::mutex> guard(AliasLock());
  auto it = aliasRe.globalMatch(xml);
  while (it.hasNext()) {
    QString body = it.next().captured(1);
    QStringList families;
    auto fit = familyRe.globalMatch(body);
    while (fit.hasNext()) families << fit.next().captured(1);
    if (families.size() < 2) continue;
    QString alias = families.takeFirst();
    bool known = false;  // the same file found in two places
    for (auto& a : Aliases()) known |= a.first == alias;
    if (!known) Aliases().emplace_back(alias, families);
  }
  return true;
}

bool LoadDefaultFontAliases() {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    // The program folder first, then up to three folders above it (the
    // build tree keeps one copy for the programs below it).
    std::string folder(exe, static_cast<size_t>(n));
    for (int up = 0; up < 4; ++up) {
      size_t slash = folder.find_last_of('/');
      if (slash == std::string::npos) break;
      folder.resize(slash);
      if (LoadFontAliases(folder + "/res/fonts.conf")) return true;
    }
  }
  return LoadFontAliases("res/fonts.conf");
}

void EnsureGuiApplication() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (QCoreApplication::instance()) {
      LoadDefaultFontAliases();
      return;
    }
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "orvenna";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    LoadDefaultFontAliases();
  });
}
