// SPDX-License-Identifier: MIT
//
// A plot of one flight, drawn with cairo as a PNG: stacked panels against
// time sharing one time axis (height against the target height, the three
// speeds and the yaw rate against their set points, heading and attitude,
// the axis commands, the unit's flags), the scenario's phases shaded across
// all of them, each panel with its axis, ticks, unit and legend; below them
// a map of the ground track about the spot where the hold engaged, with the
// ADS-33 hover's desired and adequate circles, so a drift or a spin shows
// at a glance.
#ifndef HOVER_SIM_PLOT_FLIGHT_PLOT_H
#define HOVER_SIM_PLOT_FLIGHT_PLOT_H

#include <optional>
#include <string>
#include <vector>

namespace plot {

// One host frame as the plot needs it, in the summary's units: knots for
// speeds, feet for heights and positions, degrees for angles. A value is
// absent where the host did not have it (no set point shown, no command sent
// in that frame).
struct FlightSample {
    double timeS = 0.0;
    double heightFt = 0.0;
    std::optional<double> targetFt;
    double forwardKt = 0.0;  // body axes: along the heading
    double rightKt = 0.0;
    double upKt = 0.0;
    double yawRateDegS = 0.0;
    std::optional<double> forwardSetKt;
    std::optional<double> rightSetKt;
    std::optional<double> upSetKt;
    std::optional<double> turnSetDegS;
    // Heading counted through full turns (a spin reads 720, not 0), pitch
    // nose up and bank right wing down positive.
    double headingDeg = 0.0;
    double pitchUpDeg = 0.0;
    std::optional<double> bankRightDeg;
    // Position over the ground from the start of the run.
    double northFt = 0.0;
    double eastFt = 0.0;
    // Axis commands sent in the frame, in the host's axis units.
    std::optional<double> elevator;
    std::optional<double> aileron;
    std::optional<double> rudder;
    std::optional<double> collective;
    bool engaged = false;
    std::optional<bool> powerOn;
    bool pitchGuard = false;
};

struct FlightPhase {
    std::string name;
    double fromS = 0.0;
    double toS = 0.0;
};

// Phases laid out in rows so that no two in a row overlap: the row of each
// phase, in the order given (a phase takes the first row free at its start).
std::vector<int> phaseRows(const std::vector<FlightPhase>& phases);

// The spot the ground track is drawn about: the position in the first
// engaged sample, or the first sample's when the hold never engaged.
struct MapOrigin {
    double northFt = 0.0;
    double eastFt = 0.0;
    std::optional<double> engagedAtS;
};
MapOrigin mapOrigin(const std::vector<FlightSample>& samples);

// About `target` evenly spaced round values (steps of 1, 2 or 5 times a
// power of ten) covering [low, high]: the first at or below `low`, the last
// at or above `high`.
std::vector<double> niceTicks(double low, double high, int target);

class FlightPlot {
public:
    explicit FlightPlot(std::string title) : title_(std::move(title)) {}

    // At most kMaxSamples are kept, so a run of any length plots in bounded
    // memory: when full, every other sample is dropped and from then on
    // only every other one is taken. The last sample is always drawn.
    static constexpr size_t kMaxSamples = 100000;
    void add(const FlightSample& sample);
    void addPhase(const FlightPhase& phase) { phases_.push_back(phase); }
    size_t size() const { return samples_.size(); }

    // Writes the plot. Fails, with the reason, when there is nothing to plot
    // or the file cannot be written.
    bool writePng(const std::string& path, std::string& error, int width = 1400, int height = 2300) const;

private:
    bool draw(const std::vector<FlightSample>& samples, const std::string& path, std::string& error,
              int width, int height) const;

    std::string title_;
    std::vector<FlightSample> samples_;
    std::optional<FlightSample> last_;
    size_t seen_ = 0;
    size_t stride_ = 1;
    std::vector<FlightPhase> phases_;
};

}  // namespace plot

#endif
