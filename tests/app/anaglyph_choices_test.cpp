#include "app/anaglyph_choices.h"

#include <gtest/gtest.h>

using Changes = std::vector<std::pair<std::string, std::string>>;

TEST(AnaglyphChoices, ShowTheOptionsAndWriteBackOnlyWhatChanged)
{
    ConversionOptions start;
    start.method = {Glasses::AmberBlue, MixMethod::Grey};
    start.swapViews = true;
    std::vector<DialogChoice> rows = AnaglyphChoices(start);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].options[rows[0].chosen], "amber-blue");
    EXPECT_EQ(rows[1].options[rows[1].chosen], "grey");
    EXPECT_TRUE(rows[2].options.empty()) << "swap is a check box";
    EXPECT_EQ(rows[2].chosen, 1);

    struct Case {
        const char* name;
        int32_t glasses, method, swap; // picked indices; -1 keeps what was shown
        Changes changes;
        AnaglyphMethod expectedMethod;
        bool swapViews;
    };
    const Case cases[] = {
        {"left as they came", -1, -1, -1, {}, {Glasses::AmberBlue, MixMethod::Grey}, true},
        {"glasses and swap", 1, -1, 0, {{"glasses", "green-magenta"}, {"swap", "no"}},
         {Glasses::GreenMagenta, MixMethod::Grey}, false},
        {"method", -1, 4, -1, {{"method", "dubois"}}, {Glasses::AmberBlue, MixMethod::Dubois}, true},
    };
    for (const Case& c : cases) {
        std::vector<DialogChoice> picked = AnaglyphChoices(start);
        for (int i = 0; i < 3; ++i) {
            int32_t index = i == 0 ? c.glasses : i == 1 ? c.method : c.swap;
            if (index >= 0)
                picked[i].chosen = index;
        }
        ConversionOptions options = start;
        EXPECT_EQ(TakeAnaglyphChoices(picked, options), c.changes) << c.name;
        EXPECT_EQ(options.method.glasses, c.expectedMethod.glasses) << c.name;
        EXPECT_EQ(options.method.method, c.expectedMethod.method) << c.name;
        EXPECT_EQ(options.swapViews, c.swapViews) << c.name;
    }
}
