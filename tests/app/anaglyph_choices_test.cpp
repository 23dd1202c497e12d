#include "app/anaglyph_choices.h"

#include <gtest/gtest.h>

using Changes = std::vector<std::pair<std::string, std::string>>;

TEST(AnaglyphChoices, ShowTheOptionsAndWriteBackOnlyWhatChanged)
{
    ConversionOptions start;
    start.method = {Glasses::AmberBlue, MixMethod::Grey};
    start.swapViews = true;
    start.shift = 12;
    std::vector<DialogChoice> rows = AnaglyphChoices(start);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].options[rows[0].chosen], "amber-blue");
    EXPECT_EQ(rows[1].options[rows[1].chosen], "grey");
    EXPECT_TRUE(rows[2].options.empty()) << "swap is a check box";
    EXPECT_EQ(rows[2].chosen, 1);
    EXPECT_EQ(rows[3].label, "_Align");
    EXPECT_EQ(rows[4].label, "Stereo window: a_uto");
    EXPECT_TRUE(rows[3].options.empty() && rows[4].options.empty()) << "check boxes";
    EXPECT_EQ(rows[3].chosen, 0);
    EXPECT_EQ(rows[4].chosen, 0);

    struct Case {
        const char* name;
        int32_t glasses, method, swap; // picked indices; -1 keeps what was shown
        Changes changes;
        AnaglyphMethod expectedMethod;
        bool swapViews;
        int32_t align = -1, window = -1;
        bool alignViews = false, autoShift = false;
        int32_t shift = 12;
    };
    const Case cases[] = {
        {"left as they came", -1, -1, -1, {}, {Glasses::AmberBlue, MixMethod::Grey}, true},
        {"glasses and swap", 1, -1, 0, {{"glasses", "green-magenta"}, {"swap", "no"}},
         {Glasses::GreenMagenta, MixMethod::Grey}, false},
        {"method", -1, 4, -1, {{"method", "dubois"}}, {Glasses::AmberBlue, MixMethod::Dubois}, true},
        {"align and the automatic window", -1, -1, -1, {{"align", "yes"}, {"shift", "auto"}},
         {Glasses::AmberBlue, MixMethod::Grey}, true, 1, 1, true, true, 0},
    };
    for (const Case& c : cases) {
        std::vector<DialogChoice> picked = AnaglyphChoices(start);
        for (int i = 0; i < 5; ++i) {
            const int32_t indices[] = {c.glasses, c.method, c.swap, c.align, c.window};
            int32_t index = indices[i];
            if (index >= 0)
                picked[i].chosen = index;
        }
        ConversionOptions options = start;
        EXPECT_EQ(TakeAnaglyphChoices(picked, options), c.changes) << c.name;
        EXPECT_EQ(options.method.glasses, c.expectedMethod.glasses) << c.name;
        EXPECT_EQ(options.method.method, c.expectedMethod.method) << c.name;
        EXPECT_EQ(options.swapViews, c.swapViews) << c.name;
        EXPECT_EQ(options.align, c.alignViews) << c.name;
        EXPECT_EQ(options.autoShift, c.autoShift) << c.name;
        EXPECT_EQ(options.shift, c.shift) << c.name;
    }

    // Unticking the automatic window puts the window back where it was shot.
    ConversionOptions automatic;
    automatic.autoShift = true;
    std::vector<DialogChoice> picked = AnaglyphChoices(automatic);
    EXPECT_EQ(picked[4].chosen, 1);
    picked[4].chosen = 0;
    EXPECT_EQ(TakeAnaglyphChoices(picked, automatic), (Changes{{"shift", "0"}}));
    EXPECT_FALSE(automatic.autoShift);
    EXPECT_EQ(automatic.shift, 0);
}
