// SPDX-License-Identifier: MIT
//
// tracecmp: compares two hoversim traces column by column, numbers within a
// tolerance and everything else exactly. It checks that the shipped module
// under Wine flies as the native build does: the two C libraries' sine and
// cosine may differ in the last bit, and a command truncated to a whole axis
// unit may then land one unit apart.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

bool toNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

struct Worst {
    double difference = 0.0;
    long long row = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(
            stderr,
            "usage: tracecmp A.csv B.csv [relative tolerance, default 1e-6] [axis units, default 2]\n"
            "Numbers agree when |a - b| <= tol * max(1, |a|, |b|); the axis command and\n"
            "control position columns agree within the given number of axis units.\n");
        return 2;
    }
    const double tolerance = argc > 3 ? std::atof(argv[3]) : 1e-6;
    const double axisUnits = argc > 4 ? std::atof(argv[4]) : 2.0;
    std::ifstream a(argv[1]);
    std::ifstream b(argv[2]);
    if (!a || !b) {
        std::fprintf(stderr, "tracecmp: cannot read %s\n", !a ? argv[1] : argv[2]);
        return 2;
    }
    std::string lineA;
    std::string lineB;
    if (!std::getline(a, lineA) || !std::getline(b, lineB) || lineA != lineB) {
        std::fprintf(stderr, "tracecmp: the two traces have different columns\n");
        return 1;
    }
    const std::vector<std::string> columns = splitFields(lineA);
    std::vector<double> limits(columns.size(), tolerance);
    std::vector<bool> axis(columns.size(), false);
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& c = columns[i];
        axis[i] =
            c.rfind("cmd_", 0) == 0 || c == "elev_309" || c == "ail_311" || c == "rud_314" || c == "thr_128";
    }
    std::vector<Worst> worst(columns.size());
    long long row = 0;
    int mismatches = 0;
    while (true) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA || !moreB) {
            if (moreA != moreB) {
                std::fprintf(stderr, "tracecmp: %s ends after %lld rows\n", moreA ? argv[2] : argv[1], row);
                return 1;
            }
            break;
        }
        ++row;
        const std::vector<std::string> fa = splitFields(lineA);
        const std::vector<std::string> fb = splitFields(lineB);
        if (fa.size() != columns.size() || fb.size() != columns.size()) {
            std::fprintf(stderr, "tracecmp: row %lld has the wrong number of fields\n", row);
            return 1;
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            double x = 0.0;
            double y = 0.0;
            bool agree = fa[i] == fb[i];
            if (!agree && toNumber(fa[i], x) && toNumber(fb[i], y)) {
                const double difference = std::fabs(x - y);
                const double allowed =
                    axis[i] ? axisUnits : limits[i] * std::max({1.0, std::fabs(x), std::fabs(y)});
                agree = difference <= allowed;
                if (difference > worst[i].difference) {
                    worst[i] = Worst{difference, row};
                }
            }
            if (!agree && mismatches++ < 10) {
                std::fprintf(stderr, "tracecmp: row %lld, %s: %s against %s\n", row, columns[i].c_str(),
                             fa[i].c_str(), fb[i].c_str());
            }
        }
    }
    if (row == 0) {
        // Nothing compared is no agreement: a run that wrote no frame must
        // not pass for one that flew the same.
        std::fprintf(stderr, "tracecmp: the traces hold no rows\n");
        return 1;
    }
    std::printf("%lld rows compared; largest differences:\n", row);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (worst[i].difference > 0.0) {
            std::printf("  %-16s %.3g (row %lld)\n", columns[i].c_str(), worst[i].difference, worst[i].row);
        }
    }
    if (mismatches > 0) {
        std::printf("%d fields differ beyond the tolerance\n", mismatches);
        return 1;
    }
    std::printf("the traces agree\n");
    return 0;
}
