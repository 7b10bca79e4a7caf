// The formulation the benchmark times beside the cached single calls must
// be IAPWS-IF97 itself: its equations reproduce the verification values
// published with the formulation (enthalpies of regions 1 and 2, backward
// temperatures of regions 1, 2a, 2b and 2c), and tell the regions apart.
#include <gtest/gtest.h>

#include "if97_reference.h"

namespace {

TEST(If97Reference, EquationsReproduceThePublishedVerificationValues) {
    EXPECT_NEAR(if97::Region1Enthalpy(3, 300), 0.115331273e3, 1e-6);
    EXPECT_NEAR(if97::Region1Enthalpy(80, 300), 0.184142828e3, 1e-6);
    EXPECT_NEAR(if97::Region1Enthalpy(3, 500), 0.975542239e3, 1e-6);
    EXPECT_NEAR(if97::Region2Enthalpy(0.0035, 300), 0.254991145e4, 1e-5);
    EXPECT_NEAR(if97::Region2Enthalpy(30, 700), 0.263149474e4, 1e-5);
    EXPECT_NEAR(if97::Region1Temperature(3, 500), 0.391798509e3, 1e-6);
    EXPECT_NEAR(if97::Region1Temperature(80, 1500), 0.611041229e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(0.001, 3000), 0.534433241e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(5, 3500), 0.801299102e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(40, 2700), 0.743056411e3, 1e-6);
    EXPECT_NEAR(if97::SaturationPressure(300), 0.353658941e-2, 1e-11);
    EXPECT_EQ(if97::RegionOf(3, 300), 1);
    EXPECT_EQ(if97::RegionOf(0.0035, 300), 2);
    EXPECT_EQ(if97::RegionOf(30, 700), 2);
    EXPECT_EQ(if97::RegionOf(50, 700), 0);
}

}  // namespace
