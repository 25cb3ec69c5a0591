// root\WMI's MSAcpi_ThermalZoneTemperature from /sys/class/thermal.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "../repository/provider.h"

namespace wbem {

// `sysRoot` is "/sys/class/thermal" on a live machine.
std::shared_ptr<const InstanceProvider> makeThermalZoneProvider(
    std::string nspace, std::string sysRoot = "/sys/class/thermal");

// Millidegrees Celsius (as the kernel reports them) to tenths of a kelvin
// (as ACPI and WMI do); nullopt below absolute zero.
std::optional<uint64_t> milliCelsiusToDeciKelvin(int64_t milliCelsius);

}  // namespace wbem
