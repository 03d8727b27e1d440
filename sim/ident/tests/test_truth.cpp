// SPDX-License-Identifier: MIT
//
// The model's form fitted to an exact frequency response: where the plant
// has the form, the fit gives back every term, whatever order the plant
// keeps its states in.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstddef>

#include "sim/ident/hover_model.h"
#include "sim/ident/truth.h"

namespace {

// Least squares on an exact response: rounding only.
constexpr double kSameTerm = 1e-7;

// A hover of the Bo-105's size (its identified figures, rounded), every
// term non-zero so that a term put in the wrong place shows.
ident::HoverModel bo105Like() {
    ident::HoverModel m;
    const double values[ident::kTermCount] = {
        /*Xu*/ -0.02,  /*Xq*/ 0.9,     /*Yv*/ -0.03,   /*Yp*/ -0.9,    /*Zw*/ -0.32,  /*Lp*/ -18.0,
        /*Lq*/ 6.3,    /*Lv*/ -0.05,   /*Mq*/ -4.9,    /*Mp*/ -1.7,    /*Mu*/ 0.02,   /*Nr*/ -0.43,
        /*Np*/ -3.0,   /*Xe*/ 7.7e-5,  /*Ya*/ -6.2e-5, /*Yr*/ 6.7e-5,  /*Zc*/ 1.8e-3, /*La*/ -1.2e-3,
        /*Le*/ 9.3e-4, /*Ma*/ -2.1e-4, /*Me*/ -4.0e-4, /*Nd*/ -2.2e-4, /*Nc*/ 4.5e-4};
    for (int k = 0; k < ident::kTermCount; ++k) {
        m.terms[static_cast<std::size_t>(k)].value = values[k];
    }
    return m;
}

TEST(ResponseFit, GivesBackEveryTermOfAPlantWithTheModelsOwnForm) {
    const ident::HoverModel model = bo105Like();
    const analysis::LinearPlant plant = ident::toLinearPlant(model);
    // The plant keeps its states in reverse order; toModel undoes that.
    const Eigen::Index n = ident::kStateCount;
    Eigen::MatrixXd P = Eigen::MatrixXd::Zero(n, n);
    for (Eigen::Index i = 0; i < n; ++i) {
        P(i, n - 1 - i) = 1.0;
    }
    const ident::HoverModel fitted =
        ident::responseFit(P * plant.A * P.transpose(), P * plant.B, P.transpose());
    for (int k = 0; k < ident::kTermCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        EXPECT_NEAR(fitted.terms[i].value, model.terms[i].value, kSameTerm * std::fabs(model.terms[i].value))
            << ident::kTerms[k].name;
    }
}

}  // namespace
