#include "settings/PathText.h"

#include <gtest/gtest.h>

namespace {

// Texts from the settings file may hold any UTF-16 units; none of them may make a conversion throw.
TEST(PathText, UnpairedSurrogatesBecomeTheReplacementCharacter) {
    const struct {
        const char* name;
        std::u16string text;
        std::string utf8;
    } cases[] = {
        {"plain", u"/tmp/a\u00e9\u4e2d.log", "/tmp/a\xC3\xA9\xE4\xB8\xAD.log"},
        {"pair", u"x\xD83D\xDE00y", "x\xF0\x9F\x98\x80y"},
        {"high alone", u"x\xD800y", "x\xEF\xBF\xBDy"},
        {"high at the end", u"x\xDBFF", "x\xEF\xBF\xBD"},
        {"low alone", u"\xDC00x", "\xEF\xBF\xBDx"},
        {"low then high", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two highs then a low", u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {"empty", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8Text(c.text), c.utf8);
        std::filesystem::path path;
        ASSERT_NO_THROW(path = pathFromText(c.text));
        EXPECT_EQ(pathText(path), c.utf8);
    }
}

} // namespace
