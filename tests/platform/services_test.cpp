#include <gtest/gtest.h>

#include "platform/services.h"
#include "platform/system.h"

TEST(Services, DefaultSystemKnowsTheModule) {
  EXPECT_FALSE(qv::GetSystem().GetModulePath().empty());
}
