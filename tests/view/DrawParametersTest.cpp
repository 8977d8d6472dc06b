#include "ViewHarness.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t u32At(const std::array<std::uint8_t, 168>& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | bytes[offset + static_cast<std::size_t>(i)];
    }
    return value;
}

TEST(DrawParameters, DefaultRecordLayout) {
    const auto bytes = toBytes(defaultDrawParameters());
    struct Colour {
        std::size_t offset;
        std::uint32_t value; // 0x00BBGGRR
    };
    for (const Colour& c :
         {Colour{0, 0x0000FFFF}, Colour{4, 0x0000C8C8}, Colour{8, 0}, Colour{12, 0x00C8A10A},
          Colour{16, 0x00595F52}, Colour{20, 0x001E1E1E}, Colour{24, 0x00BFB692}, Colour{28, 0x00FFFFFF},
          Colour{32, 0x00323232}, Colour{36, 0x00323232}, Colour{40, 0x00DCDCDC}, Colour{44, 0},
          Colour{48, 0x00009600}, Colour{52, 0x00009696}, Colour{56, 0x00000096}, Colour{60, 0x000E610E},
          Colour{64, 0x000B4D65}, Colour{68, 0x00110F4D}, Colour{164, 0x000000FF}}) {
        EXPECT_EQ(u32At(bytes, c.offset), c.value) << "offset " << c.offset;
    }
    // The font description: height 12, weight 400, Swiss family, face "Tahoma" in UTF-16.
    EXPECT_EQ(u32At(bytes, 72), 12u);
    EXPECT_EQ(u32At(bytes, 76), 0u);
    EXPECT_EQ(u32At(bytes, 88), 400u);
    EXPECT_EQ(bytes[72 + 20 + 7], 0x20);
    const char16_t face[] = u"Tahoma";
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(bytes[100 + 2 * i] | (bytes[101 + 2 * i] << 8), face[i]);
    }
    EXPECT_EQ(drawParametersFromBytes(bytes).font.lfHeight, 12);
}

TEST(DrawParameters, KindBrushes) {
    const DrawParameters params = defaultDrawParameters();
    EXPECT_EQ(kindBrush(params, 0, true)->color(), toQColor(params.greenOnColor));
    EXPECT_EQ(kindBrush(params, 1, false)->color(), toQColor(params.yellowOffColor));
    EXPECT_EQ(kindBrush(params, 2, true)->color(), toQColor(params.redOnColor));
    EXPECT_FALSE(kindBrush(params, 3, true));
    EXPECT_FALSE(kindBrush(params, -1, false));
}

TEST(DrawParameters, FontCellIsNoTallerThanTheHeight) {
    const QFont font = fontFromLogFont(defaultDrawParameters().font);
    const QFontMetrics metrics(font);
    EXPECT_LE(metrics.height(), 12);
    EXPECT_GE(metrics.height(), 10);
}

TEST(PaintPipeline, WavePictureIsReusedUntilTheFirstLoad) {
    ViewHarness harness(400, 300);
    const QPoint probe(10, HEADER_HEIGHT + 100);
    const QRgb wave = rgbOf(defaultDrawParameters().waveColor);
    harness.view->m_frameLevels = std::vector<int>(400, 16384);
    harness.view->m_scrollFrame = 1;
    EXPECT_EQ(harness.render().pixel(probe), wave);
    // The levels changed but nothing the picture depends on: the old picture is shown.
    harness.view->m_frameLevels = std::vector<int>(400, 0);
    EXPECT_EQ(harness.render().pixel(probe), wave);
    // Another scroll position draws anew.
    harness.view->m_scrollFrame = 0;
    EXPECT_NE(harness.render().pixel(probe), wave);
    // Once a load has completed, every paint draws the wave.
    harness.view->m_frameLevels = std::vector<int>(400, 16384);
    harness.view->m_loaded = true;
    EXPECT_EQ(harness.render().pixel(probe), wave);
    harness.view->m_frameLevels = std::vector<int>(400, 0);
    EXPECT_NE(harness.render().pixel(probe), wave);
}

} // namespace
