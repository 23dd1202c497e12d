// The GDI+ tests load and save real files: the codecs are handed to the
// substitute as the program's start-up does.
#include <gtest/gtest.h>

#include "imageio/gdiplus_codecs.h"

namespace {

struct CodecsForGdiplus : ::testing::Environment {
    void SetUp() override { UseCodecsForGdiplus(); }
};

const auto* const kCodecs = ::testing::AddGlobalTestEnvironment(new CodecsForGdiplus);

} // namespace
