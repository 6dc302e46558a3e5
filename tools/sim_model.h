// The simulated cell: oxygen falling like a purge from air, the cell voltage
// that follows it, and the cell temperature.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace sim {

class Cell {
public:
    // timeConstant: seconds for the oxygen excess over the floor to fall to
    // 1/e; seed fixes the noise.
    Cell(double timeConstant, unsigned seed);

    // The value text a query asks for at elapsed (simulated) seconds:
    // M2 oxygen ppm, A1 cell voltage mV, A2 cell temperature in degrees C.
    std::optional<std::string> answer(std::string_view query, double elapsed);

private:
    double oxygenPpm(double elapsed);
    double temperatureC();

    double timeConstant_;
    std::mt19937 random_;
    std::normal_distribution<double> noise_{0.0, 1.0};
};

}  // namespace sim
