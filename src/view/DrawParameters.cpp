#include "view/DrawParameters.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <cstring>

QColor toQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

namespace {

constexpr int FW_NORMAL = 400;
constexpr std::uint8_t FF_SWISS = 0x20;
constexpr std::uint8_t DEFAULT_PITCH = 0;

// What the platform gives back for a font created with the painters' creation parameters.
LogFontW defaultLogFont() {
    LogFontW font{};
    font.lfHeight = 12;
    font.lfWidth = 0;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    font.lfWeight = FW_NORMAL;
    font.lfItalic = 0;
    font.lfUnderline = 0;
    font.lfStrikeOut = 0;
    font.lfCharSet = 0; // ANSI_CHARSET
    font.lfOutPrecision = 0;
    font.lfClipPrecision = 0;
    font.lfQuality = 0;
    font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
    const std::u16string_view face = u"Tahoma";
    std::copy(face.begin(), face.end(), font.lfFaceName.begin());
    return font;
}

QString faceName(const LogFontW& logFont) {
    std::size_t length = 0;
    while (length < logFont.lfFaceName.size() && logFont.lfFaceName[length] != u'\0') {
        ++length;
    }
    return QString::fromUtf16(logFont.lfFaceName.data(), static_cast<qsizetype>(length));
}

QFont buildFont(const LogFontW& logFont) {
    QFont font(faceName(logFont));
    font.setStyleHint((logFont.lfPitchAndFamily & 0xF0) == FF_SWISS ? QFont::SansSerif : QFont::AnyStyle);
    // LOGFONT weights and Qt 6 weights share the 100..900 scale; 0 means the default.
    const int weight =
        logFont.lfWeight > 0 ? std::clamp(static_cast<int>(logFont.lfWeight), 100, 900) : FW_NORMAL;
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::NoAntialias);
    const int height = logFont.lfHeight == 0 ? 16 : std::abs(logFont.lfHeight);
    font.setPixelSize(height);
    if (logFont.lfHeight > 0) {
        // A positive height is the whole cell: shrink the em until ascent plus descent fit in it.
        for (int size = height; size > 1; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= height) {
                break;
            }
        }
    }
    return font;
}

} // namespace

DrawParameters defaultDrawParameters() {
    DrawParameters parameters{};
    parameters.playLineColor = rgb(255, 255, 0);
    parameters.pointerLineColor = rgb(200, 200, 0);
    parameters.backgroundColor = rgb(0, 0, 0);
    parameters.waveColor = rgb(10, 161, 200);
    parameters.gridColor = rgb(82, 95, 89);
    parameters.dimColor = rgb(30, 30, 30);
    parameters.markColor = rgb(146, 182, 191);
    parameters.highlightColor = rgb(255, 255, 255);
    parameters.spareColor1 = rgb(50, 50, 50);
    parameters.spareColor2 = rgb(50, 50, 50);
    parameters.textColor = rgb(220, 220, 220);
    parameters.darkTextColor = rgb(0, 0, 0);
    parameters.greenOnColor = rgb(0, 150, 0);
    parameters.yellowOnColor = rgb(150, 150, 0);
    parameters.redOnColor = rgb(150, 0, 0);
    parameters.greenOffColor = rgb(14, 97, 14);
    parameters.yellowOffColor = rgb(101, 77, 11);
    parameters.redOffColor = rgb(77, 15, 17);
    parameters.selectedColor = rgb(255, 0, 0);
    parameters.font = defaultLogFont();
    return parameters;
}

std::array<std::uint8_t, sizeof(DrawParameters)> toBytes(const DrawParameters& parameters) {
    std::array<std::uint8_t, sizeof(DrawParameters)> bytes{};
    std::memcpy(bytes.data(), &parameters, sizeof(DrawParameters));
    return bytes;
}

DrawParameters drawParametersFromBytes(const std::array<std::uint8_t, sizeof(DrawParameters)>& bytes) {
    DrawParameters parameters{};
    std::memcpy(&parameters, bytes.data(), sizeof(DrawParameters));
    return parameters;
}

std::optional<QBrush> kindBrush(const DrawParameters& parameters, int kind, bool lit) {
    switch (kind) {
    case 0:
        return QBrush(toQColor(lit ? parameters.greenOnColor : parameters.greenOffColor));
    case 1:
        return QBrush(toQColor(lit ? parameters.yellowOnColor : parameters.yellowOffColor));
    case 2:
        return QBrush(toQColor(lit ? parameters.redOnColor : parameters.redOffColor));
    default:
        return std::nullopt;
    }
}

QFont fontFromLogFont(const LogFontW& logFont) {
    // Every painter makes its font on every paint; the metrics search is done once per description.
    static QHash<QByteArray, QFont> cache;
    const QByteArray key(reinterpret_cast<const char*>(&logFont), sizeof(LogFontW));
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) {
        return *found;
    }
    const QFont font = buildFont(logFont);
    cache.insert(key, font);
    return font;
}
