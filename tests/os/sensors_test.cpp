// The machine's temperatures and clocks, read from fake /sys trees laid out
// as Linux lays them out, and the clock estimate's arithmetic on a
// stand-in clock.
#include "os/sensors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"

namespace lumek {
namespace {

using test::FakeTree;

void hwmon(FakeTree& tree, int n, const std::string& name,
           const std::vector<std::pair<std::string, std::string>>& inputs) {
    const std::string dir = "/sys/class/hwmon/hwmon" + std::to_string(n) + "/";
    tree.put(dir + "name", name + "\n");
    int i = 1;
    for (const auto& [label, milli] : inputs) {
        const std::string temp = dir + "temp" + std::to_string(i++);
        if (!label.empty()) tree.put(temp + "_label", label + "\n");
        tree.put(temp + "_input", milli + "\n");
    }
}

TEST(Sensors, K10tempCountsTdieOverTctlAndTheHottestWins) {
    FakeTree tree;
    hwmon(tree, 0, "nvme", {{"Composite", "91000"}});  // not the processor
    hwmon(tree, 1, "k10temp", {{"Tctl", "95500"}, {"Tdie", "68500"}, {"Tccd1", "71250"}});
    const os::Sensors s = os::readLinuxSensors(tree.root(), {});
    EXPECT_TRUE(s.hasTemperatures());
    EXPECT_EQ(s.temperatureSensors(), "k10temp Tdie, k10temp Tccd1");
    const std::optional<os::Temperature> hot = s.hottest();
    ASSERT_TRUE(hot.has_value());
    EXPECT_EQ(hot->sensor, "k10temp Tccd1");
    EXPECT_DOUBLE_EQ(hot->celsius, 71.25);

    // Without Tdie, Tctl is the one there is.
    FakeTree tctl;
    hwmon(tctl, 0, "k10temp", {{"Tctl", "55000"}});
    EXPECT_EQ(os::readLinuxSensors(tctl.root(), {}).hottest()->celsius, 55.0);
}

TEST(Sensors, CoretempsPackageAndCoresAlsoInAnOlderKernelsDeviceFolder) {
    FakeTree tree;
    tree.put("/sys/class/hwmon/hwmon3/device/name", "coretemp\n");
    const std::string dir = "/sys/class/hwmon/hwmon3/device/";
    tree.put(dir + "temp1_label", "Package id 0\n").put(dir + "temp1_input", "64000\n");
    tree.put(dir + "temp2_label", "Core 0\n").put(dir + "temp2_input", "66000\n");
    tree.put(dir + "temp3_input", "59000\n");  // no label: named by its number
    tree.put(dir + "temp3_max", "100000\n");
    const os::Sensors s = os::readLinuxSensors(tree.root(), {});
    EXPECT_EQ(s.temperatureSensors(), "coretemp Package id 0, coretemp Core 0, coretemp temp3");
    EXPECT_EQ(s.hottest()->sensor, "coretemp Core 0");
}

TEST(Sensors, ThermalZonesOfTheProcessorServeWhenNoHwmonSensorDoes) {
    FakeTree tree;
    hwmon(tree, 0, "acpitz", {{"", "40000"}});
    tree.put("/sys/class/thermal/thermal_zone0/type", "acpitz\n");
    tree.put("/sys/class/thermal/thermal_zone0/temp", "99000\n");
    tree.put("/sys/class/thermal/thermal_zone1/type", "x86_pkg_temp\n");
    tree.put("/sys/class/thermal/thermal_zone1/temp", "52000\n");
    tree.put("/sys/class/thermal/thermal_zone2/type", "cpu-thermal\n");
    tree.put("/sys/class/thermal/thermal_zone2/temp", "50000\n");
    tree.put("/sys/class/thermal/cooling_device0/type", "Processor\n");
    const os::Sensors s = os::readLinuxSensors(tree.root(), {});
    EXPECT_EQ(s.temperatureSensors(), "thermal zone x86_pkg_temp, thermal zone cpu-thermal");
    EXPECT_EQ(s.hottest()->celsius, 52.0) << "the motherboard's zone is not the processor";

    // A processor's hwmon sensor makes the zones unnecessary.
    hwmon(tree, 1, "coretemp", {{"Package id 0", "61000"}});
    EXPECT_EQ(os::readLinuxSensors(tree.root(), {}).temperatureSensors(), "coretemp Package id 0");
}

TEST(Sensors, NoneMissingOrUnreadable) {
    FakeTree none;
    const os::Sensors empty = os::readLinuxSensors(none.root(), {0, 1});
    EXPECT_FALSE(empty.hasTemperatures());
    EXPECT_FALSE(empty.hasClocks());
    EXPECT_FALSE(empty.hottest().has_value());
    EXPECT_FALSE(empty.clockMHz(0).has_value());

    // A sensor that cannot be read now is left out of the reading; when
    // none can, there is no reading.
    FakeTree tree;
    hwmon(tree, 0, "k10temp", {{"Tctl", "not a number"}, {"Tccd1", "48000"}});
    std::filesystem::create_directories(tree.root() + "/sys/class/hwmon/hwmon0/temp3_input");
    const os::Sensors s = os::readLinuxSensors(tree.root(), {});
    EXPECT_EQ(s.temperatureSensors(), "k10temp Tctl, k10temp Tccd1, k10temp temp3");
    EXPECT_EQ(s.hottest()->celsius, 48.0);
    std::filesystem::remove(tree.root() + "/sys/class/hwmon/hwmon0/temp2_input");
    EXPECT_FALSE(s.hottest().has_value());
}

TEST(Sensors, CpufreqsCurrentFrequencyOfEachProcessor) {
    FakeTree tree;
    const std::string cpu = "/sys/devices/system/cpu/cpu";
    tree.put(cpu + "0/cpufreq/scaling_cur_freq", "3492110\n");
    tree.put(cpu + "1/cpufreq/scaling_cur_freq", "garbage\n");
    tree.put(cpu + "3/cpufreq/scaling_cur_freq", "800000\n");
    const os::Sensors s = os::readLinuxSensors(tree.root(), {0, 1, 2});
    EXPECT_TRUE(s.hasClocks());
    EXPECT_DOUBLE_EQ(*s.clockMHz(0), 3492.11);
    EXPECT_FALSE(s.clockMHz(1).has_value()) << "unreadable";
    EXPECT_FALSE(s.clockMHz(2).has_value()) << "missing";
    EXPECT_FALSE(s.clockMHz(3).has_value()) << "not one of the processors asked for";
}

TEST(ClockEstimate, AdditionsPerMicrosecondOfTheFastestRunAreMegahertz) {
    EXPECT_EQ(os::additionChain(0, 5), 0u);
    EXPECT_EQ(os::additionChain(1000003, 3), 3000009u) << "every addition, the rest included";

    // Runs of 1 ms, 0.5 ms and 0.8 ms: a million additions in 0.5 ms is
    // 2000 MHz.
    const std::vector<int64_t> ticks = {10'000'000, 11'000'000, 20'000'000,
                                        20'500'000, 30'000'000, 30'800'000};
    size_t next = 0;
    const os::ClockEstimate e = os::estimateClock(1'000'000, 3, [&] { return ticks[next++]; });
    EXPECT_EQ(next, 6u);
    EXPECT_DOUBLE_EQ(e.mhz, 2000.0);
    EXPECT_EQ(e.sum, 1'000'000u);

    // A clock that does not move gives no estimate rather than infinity.
    EXPECT_EQ(os::estimateClock(1000, 2, [] { return int64_t(7); }).mhz, 0.0);

    // On this machine's real clock: some finite figure.
    const double live = os::estimateClockMHz();
    EXPECT_GT(live, 0.0);
    EXPECT_TRUE(std::isfinite(live));
}

}  // namespace
}  // namespace lumek
