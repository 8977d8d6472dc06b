#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// A COLORREF: 0x00BBGGRR, red in the low byte.
using ColorRef = std::uint32_t;

constexpr ColorRef rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
           (static_cast<ColorRef>(blue) << 16);
}

QColor toQColor(ColorRef color);

// The 92-byte LOGFONTW layout, kept byte-exact because it is part of the stored 168-byte record.
struct LogFontW {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    std::array<char16_t, 32> lfFaceName; // UTF-16, NUL-terminated
};
static_assert(sizeof(LogFontW) == 92);

// The colours and the font of the painters. Same layout as the value stored in the preferences.
struct DrawParameters {
    ColorRef playLineColor;
    ColorRef pointerLineColor;
    ColorRef backgroundColor;
    ColorRef waveColor;
    ColorRef gridColor;
    ColorRef dimColor;
    ColorRef markColor;
    ColorRef highlightColor;
    ColorRef spareColor1;
    ColorRef spareColor2;
    ColorRef textColor;
    ColorRef darkTextColor;
    ColorRef greenOnColor;
    ColorRef yellowOnColor;
    ColorRef redOnColor;
    ColorRef greenOffColor;
    ColorRef yellowOffColor;
    ColorRef redOffColor;
    LogFontW font;
    ColorRef selectedColor;
};
static_assert(sizeof(DrawParameters) == 168);
static_assert(offsetof(DrawParameters, font) == 72);
static_assert(offsetof(DrawParameters, selectedColor) == 164);

DrawParameters defaultDrawParameters();

std::array<std::uint8_t, sizeof(DrawParameters)> toBytes(const DrawParameters& parameters);
DrawParameters drawParametersFromBytes(const std::array<std::uint8_t, sizeof(DrawParameters)>& bytes);

// The solid brush of a light or button kind (0 green, 1 yellow, 2 red), lit or not; none for any
// other kind, and the caller then draws nothing.
std::optional<QBrush> kindBrush(const DrawParameters& parameters, int kind, bool lit);

// The font a LOGFONTW describes. A positive height is the cell height in pixels (ascent plus
// descent); a missing face falls back to a sans-serif one whose cell is no taller.
QFont fontFromLogFont(const LogFontW& logFont);
