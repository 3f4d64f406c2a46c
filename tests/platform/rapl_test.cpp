#include <gtest/gtest.h>

#include "platform/linux/rapl.h"
#include "platform/linux/rapl_package_energy.h"
#include "platform/testing/fixture_tree.h"

using namespace wattline;

// Intel exposes each package twice, through MSRs and through MMIO; only one may count.
TEST(Rapl, PackagesSeenThroughMmioAreNotCountedTwice) {
  wattline::testing::FixtureTree tree(std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery");
  tree.write("class/powercap/intel-rapl-mmio:0/name", "package-0");
  tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "5000000");
  tree.write("class/powercap/intel-rapl-mmio:0/max_energy_range_uj", "262143328850");
  int packages = 0;
  for (const auto& domain : raplDomains(tree.root())) packages += domain.isPackage();
  EXPECT_EQ(packages, 1);
  RaplPackageEnergy energy(tree.root());
  ASSERT_EQ(energy.consumedSinceLastRead(), 0u);
  auto before = raplDomains(tree.root()).front().energy();
  ASSERT_TRUE(before);
  tree.write("class/powercap/intel-rapl:0/energy_uj", std::to_string(*before + 2'000'000));
  tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "7000000");
  EXPECT_EQ(energy.consumedSinceLastRead(), 2'000'000'000u);  // nanojoules, once
}
