// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/plot/flight_plot.h"

namespace {

using plot::niceTicks;

TEST(PlotTicks, TicksAreRoundStepsOfOneTwoOrFiveThatCoverTheRange) {
    EXPECT_EQ(niceTicks(0.0, 100.0, 5), (std::vector<double>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(niceTicks(0.0, 7.0, 5), (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(niceTicks(-6000.0, 6000.0, 5), (std::vector<double>{-6000, -4000, -2000, 0, 2000, 4000, 6000}));
    const std::vector<double> small = niceTicks(98.7, 101.2, 5);  // step 0.5
    ASSERT_FALSE(small.empty());
    EXPECT_DOUBLE_EQ(small.front(), 98.5);
    EXPECT_DOUBLE_EQ(small.back(), 101.5);
    // A flat range is widened; nonsense gives nothing.
    EXPECT_EQ(niceTicks(5.0, 5.0, 4), (std::vector<double>{4.0, 4.5, 5.0, 5.5, 6.0}));
    EXPECT_TRUE(niceTicks(NAN, 1.0, 5).empty());
}

TEST(PlotPhases, OverlappingPhasesGetRowsOfTheirOwnAndFollowingOnesShareARow) {
    // "hold" and "gust" overlap "whole run"; "climb" follows "hold".
    const std::vector<plot::FlightPhase> phases = {
        {"whole run", 0.0, 150.0}, {"hold", 40.0, 90.0}, {"gust", 45.0, 60.0}, {"climb", 90.0, 150.0}};
    EXPECT_EQ(plot::phaseRows(phases), (std::vector<int>{0, 1, 2, 1}));
    EXPECT_EQ(plot::phaseRows({{"a", 0, 10}, {"b", 10, 20}, {"c", 20, 30}}), (std::vector<int>{0, 0, 0}));
}

TEST(PlotMap, TheTrackIsDrawnAboutTheSpotWhereTheHoldFirstEngaged) {
    std::vector<plot::FlightSample> samples(4);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i].timeS = static_cast<double>(i);
        samples[i].northFt = 10.0 * static_cast<double>(i);
        samples[i].eastFt = -5.0 * static_cast<double>(i);
    }
    plot::MapOrigin origin = plot::mapOrigin(samples);
    EXPECT_FALSE(origin.engagedAtS.has_value());  // never engaged: the start
    EXPECT_DOUBLE_EQ(origin.northFt, 0.0);
    samples[2].engaged = true;
    samples[3].engaged = true;
    origin = plot::mapOrigin(samples);
    EXPECT_DOUBLE_EQ(origin.engagedAtS.value_or(-1.0), 2.0);
    EXPECT_DOUBLE_EQ(origin.northFt, 20.0);
    EXPECT_DOUBLE_EQ(origin.eastFt, -10.0);
}

TEST(FlightPlots, ALongRunIsKeptInBoundedMemoryEvenlyThinned) {
    plot::FlightPlot plot("long run");
    const size_t count = 5 * plot::FlightPlot::kMaxSamples + 3;
    for (size_t i = 0; i < count; ++i) {
        plot::FlightSample s;
        s.timeS = static_cast<double>(i);
        plot.add(s);
    }
    // Thinned three times: every eighth sample, half the cap and more.
    EXPECT_LT(plot.size(), plot::FlightPlot::kMaxSamples);
    EXPECT_GE(plot.size(), plot::FlightPlot::kMaxSamples / 2);
    EXPECT_EQ(plot.size(), (count + 7) / 8);
}

TEST(FlightPlots, ARunIsWrittenAsAPictureOfTheAskedSizeAndAnEmptyOneIsRefused) {
    plot::FlightPlot plot("test run");
    std::string error;
    const std::string path = std::string(HOVER_TEST_OUTPUT) + "/plot_test.png";
    EXPECT_FALSE(plot.writePng(path, error));
    EXPECT_NE(error.find("nothing to plot"), std::string::npos);

    for (int i = 0; i <= 180; ++i) {
        plot::FlightSample s;
        s.timeS = i / 18.0;
        s.heightFt = 100.0 + std::sin(s.timeS);
        s.headingDeg = 90.0 * s.timeS;  // a spin: past 360 within the run
        s.northFt = 2.0 * std::sin(s.timeS);
        s.engaged = i > 90;
        s.powerOn = true;
        if (s.engaged) {
            s.targetFt = 100.0;
            s.collective = 9000.0;
        }
        plot.add(s);
    }
    plot.addPhase({"before", 0.0, 5.0});
    plot.addPhase({"engaged", 5.0, 10.0});
    plot.addPhase({"overlapping", 3.0, 7.0});
    ASSERT_TRUE(plot.writePng(path, error, 800, 900)) << error;
    cairo_surface_t* written = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(written), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(written), 800);
    EXPECT_EQ(cairo_image_surface_get_height(written), 900);
    cairo_surface_destroy(written);

    EXPECT_FALSE(plot.writePng("/nonexistent/dir/plot.png", error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

}  // namespace
