#include "enginemodule.h"

#include <gtest/gtest.h>

TEST(EngineInterface, bothLibrariesLoadAndTellTheirVersion) {
    EngineModule engine;
    ASSERT_EQ(engine.loadError(), "");
    EXPECT_EQ(engine.zipVersion(), ZE_ENGINE_VERSION);
    EXPECT_EQ(engine.unzipVersion(), ZE_ENGINE_VERSION);
}
