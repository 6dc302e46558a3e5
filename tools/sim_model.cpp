#include "sim_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {
namespace {

constexpr double kAirPpm = 2.095e5;
constexpr double kFloorPpm = 3.0;
constexpr double kCellC = 700.0;
// R / 4F in volts per kelvin: the Nernst slope of an oxygen cell.
constexpr double kNernstSlope = 8.314462618 / (4.0 * 96485.33212);

std::string formatted(const char *format, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

Cell::Cell(double timeConstant, unsigned seed) : timeConstant_(timeConstant), random_(seed) {}

double Cell::oxygenPpm(double elapsed)
{
    const double purged = kFloorPpm + (kAirPpm - kFloorPpm) * std::exp(-elapsed / timeConstant_);
    const double noisy = purged * (1.0 + 0.005 * noise_(random_)) + 0.1 * noise_(random_);
    return std::max(noisy, 0.01);
}

double Cell::temperatureC() { return kCellC + 0.3 * noise_(random_); }

std::optional<std::string> Cell::answer(std::string_view query, double elapsed)
{
    if (query == "M2")
        return formatted("%.4e", oxygenPpm(elapsed));
    if (query == "A1") {
        const double kelvin = temperatureC() + 273.15;
        const double volts = kNernstSlope * kelvin * std::log(kAirPpm / oxygenPpm(elapsed));
        return formatted("%.1f", volts * 1000.0);
    }
    if (query == "A2")
        return formatted("%.1f", temperatureC());
    return std::nullopt;
}

}  // namespace sim
