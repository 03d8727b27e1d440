// SPDX-License-Identifier: MIT
//
// The hosts' shared parts, on hand-made records: the element walk's order,
// its bounds against broken trees and what a visit may ask of it, the slots
// and callbacks of each kind, and the function table reaching its one host.
// Every fake host of the tests, the fuzzers and the simulated host stand on
// these, so a fault here would hide behind all of them at once.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sdk/element_walk.h"
#include "sdk/host_table.h"

namespace {

// A tree of bare elements told apart by their bitmap ids.
struct Tree {
    explicit Tree(int count) : elements(static_cast<size_t>(count)) {
        for (int i = 0; i < count; ++i) {
            elements[static_cast<size_t>(i)].bitmapId = i;
        }
    }
    GaugeElement* at(int i) { return &elements[static_cast<size_t>(i)]; }
    std::vector<GaugeElement> elements;
};

struct Met {
    std::vector<std::pair<int32_t, int>> visits;  // bitmap id, depth
    std::vector<walk::Stop> stops;
};

Met walkAll(ElementList* roots, const walk::Limits& limits = {},
            walk::Next (*decide)(GaugeElement*) = [](GaugeElement*) { return walk::Next::kDescend; }) {
    Met met;
    walk::forEachElement(
        roots, limits,
        [&](GaugeElement* element, int depth) {
            met.visits.emplace_back(element->bitmapId, depth);
            return decide(element);
        },
        [&](walk::Stop stop) { met.stops.push_back(stop); });
    return met;
}

using Visits = std::vector<std::pair<int32_t, int>>;

TEST(ElementWalk, VisitsEachElementBeforeItsListAndEachEntryWithItsOwnList) {
    Tree t(6);
    // 0 [1 [2], 3], 4 [5]
    ElementList under1[] = {t.at(2), nullptr};
    ElementList under0[] = {t.at(1), t.at(3), nullptr};
    ElementList under4[] = {t.at(5), nullptr};
    ElementList roots[] = {t.at(0), t.at(4), nullptr};
    t.at(0)->overlays = under0;
    t.at(1)->overlays = under1;
    t.at(4)->overlays = under4;
    const Met met = walkAll(roots);
    EXPECT_EQ(met.visits, (Visits{{0, 0}, {1, 1}, {2, 2}, {3, 1}, {4, 0}, {5, 1}}));
    EXPECT_TRUE(met.stops.empty());

    // A skipped element's list is left out; an end stops the whole walk.
    const Met skipped = walkAll(roots, {}, [](GaugeElement* e) {
        return e->bitmapId == 1 ? walk::Next::kSkip : walk::Next::kDescend;
    });
    EXPECT_EQ(skipped.visits, (Visits{{0, 0}, {1, 1}, {3, 1}, {4, 0}, {5, 1}}));
    const Met ended = walkAll(roots, {}, [](GaugeElement* e) {
        return e->bitmapId == 2 ? walk::Next::kEnd : walk::Next::kDescend;
    });
    EXPECT_EQ(ended.visits, (Visits{{0, 0}, {1, 1}, {2, 2}}));

    // No tree, an empty root list, an empty overlay list: nothing to visit.
    EXPECT_TRUE(walkAll(nullptr).visits.empty());
    ElementList none[] = {nullptr};
    EXPECT_TRUE(walkAll(none).visits.empty());
    t.at(5)->overlays = none;
    EXPECT_EQ(walkAll(roots).visits.size(), 6u);
}

TEST(ElementWalk, StaysInsideItsBoundsOnBrokenTrees) {
    // An element whose list holds itself: the walk goes down to the depth
    // limit, says so, and comes back.
    Tree t(1);
    ElementList loop[] = {t.at(0), nullptr};
    t.at(0)->overlays = loop;
    const Met deep = walkAll(loop, {.maxDepth = 3, .maxListLength = 8});
    EXPECT_EQ(deep.visits, (Visits{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
    EXPECT_EQ(deep.stops, std::vector<walk::Stop>{walk::Stop::kTooDeep});

    // A list with no null within its length: the rest is not read.
    Tree row(5);
    ElementList unended[] = {row.at(0), row.at(1), row.at(2), row.at(3), row.at(4)};
    const Met longList = walkAll(unended, {.maxDepth = 3, .maxListLength = 3});
    EXPECT_EQ(longList.visits, (Visits{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(longList.stops, std::vector<walk::Stop>{walk::Stop::kListTooLong});

    // Exactly at both limits is still a sound tree.
    ElementList three[] = {row.at(0), row.at(1), row.at(2), nullptr};
    EXPECT_TRUE(walkAll(three, {.maxDepth = 0, .maxListLength = 3}).stops.empty());
}

// Copied out first: on the 64-bit native build the host's packing leaves a
// slot's double unaligned.
double valueIn(const HostVar& slot) {
    const double value = slot.value;
    return value;
}

double GAUGE_CALL one(GaugeElement*) {
    return 1.0;
}
double GAUGE_CALL two(GaugeElement*) {
    return 2.0;
}

// Out of line, as a host calls it on records it knows only by their kind
// word: inlined here, the compiler would judge every branch against the
// one record it sees.
__attribute__((noipa)) walk::Callbacks callbacksOfRecord(const GaugeElement* element) {
    return walk::callbacksOf(element);
}

TEST(ElementWalk, NamesTheSlotsAndCallbacksOfEveryKind) {
    IconElement icon{};
    icon.base.kind = kElementIcon;
    icon.var.tokenId = 614;
    icon.callback = one;
    SliderElement slider{};
    slider.base.kind = kElementSlider;
    slider.xVar.tokenId = 70;
    slider.yVar.tokenId = 0;  // names no variable: keeps its value
    slider.yVar.value = -4.0;
    slider.xCallback = one;
    slider.yCallback = two;
    TextElement text{};
    text.base.kind = kElementText;
    text.vars[0].tokenId = 86;
    text.vars[2].tokenId = 81;
    text.callback = two;
    MovingImageElement moving{};
    moving.base.kind = kElementMovingImage;
    moving.xVar.tokenId = 1;
    moving.yVar.tokenId = 2;
    moving.yCallback = one;
    StaticImageElement image{};
    image.base.kind = kElementStaticImage;
    GaugeElement unknown{};
    unknown.kind = 99;

    std::vector<uint32_t> asked;
    auto valueOf = [&asked](uint32_t token) {
        asked.push_back(token);
        return token * 0.5;
    };
    // One call per record: the compiler then knows each record's kind.
    walk::fillSlots(&icon.base, valueOf);
    walk::fillSlots(&slider.base, valueOf);
    walk::fillSlots(&text.base, valueOf);
    walk::fillSlots(&moving.base, valueOf);
    walk::fillSlots(&image.base, valueOf);
    walk::fillSlots(&unknown, valueOf);
    EXPECT_EQ(asked, (std::vector<uint32_t>{614, 70, 86, 81, 1, 2}));
    EXPECT_EQ(valueIn(icon.var), 307.0);
    EXPECT_EQ(valueIn(slider.xVar), 35.0);
    EXPECT_EQ(valueIn(slider.yVar), -4.0);
    EXPECT_EQ(valueIn(text.vars[1]), 0.0);
    EXPECT_EQ(valueIn(text.vars[2]), 40.5);
    EXPECT_EQ(valueIn(moving.yVar), 1.0);

    const walk::Callbacks s = callbacksOfRecord(&slider.base);
    EXPECT_EQ(s.first, &one);
    EXPECT_EQ(s.second, &two);
    EXPECT_EQ(callbacksOfRecord(&icon.base).first, &one);
    EXPECT_EQ(callbacksOfRecord(&text.base).first, &two);
    EXPECT_EQ(callbacksOfRecord(&moving.base).first, &one);
    EXPECT_EQ(callbacksOfRecord(&icon.base).second, nullptr);
    EXPECT_EQ(callbacksOfRecord(&text.base).second, nullptr);
    EXPECT_EQ(callbacksOfRecord(&moving.base).second, nullptr);
    const walk::Callbacks none = callbacksOfRecord(&image.base);
    EXPECT_EQ(none.first, nullptr);
    EXPECT_EQ(none.second, nullptr);
    const walk::Callbacks strange = callbacksOfRecord(&unknown);
    EXPECT_EQ(strange.first, nullptr);
    EXPECT_EQ(strange.second, nullptr);
}

// Copied out first, for the same reason: the imports' pointer is unaligned
// there too.
HostApi* tableIn(const GaugeImports& imports) {
    HostApi* const api = imports.hostApi;
    return api;
}

struct RecordingHost {
    void onRead(HostVar* variable) {
        reads.push_back(variable);
        if (variable != nullptr) {
            variable->value = 12.5;
        }
    }
    uint32_t onEvent(uint32_t id, int32_t value) {
        events.emplace_back(id, value);
        return 7;
    }
    std::vector<HostVar*> reads;
    std::vector<std::pair<uint32_t, int32_t>> events;
};

TEST(HostTable, ReachesItsOneHostWhileAttachedAndNothingAfter) {
    using Table = hostside::HostTable<RecordingHost>;
    GaugeImports imports{.id = 15, .hostApi = nullptr, .endId = 0, .endPointer = nullptr};
    RecordingHost host;
    RecordingHost other;
    {
        Table table;
        ASSERT_TRUE(table.attach(imports, host));
        ASSERT_NE(tableIn(imports), nullptr);
        EXPECT_TRUE(table.installed());
        EXPECT_EQ(Table::bound(), &host);

        // The module calls the entries at the host's offsets.
        HostVar variable{};
        variable.tokenId = 614;
        imports.hostApi->readVariable(&variable);
        EXPECT_EQ(valueIn(variable), 12.5);
        EXPECT_EQ(imports.hostApi->sendEvent(kEventThrottle, 9000), 7u);
        imports.hostApi->readVariable(nullptr);  // the host decides what a null record means
        EXPECT_EQ(host.reads, (std::vector<HostVar*>{&variable, nullptr}));
        EXPECT_EQ(host.events, (std::vector<std::pair<uint32_t, int32_t>>{{kEventThrottle, 9000}}));

        // A second host of the type is refused and changes nothing.
        Table second;
        GaugeImports elsewhere{};
        EXPECT_FALSE(second.attach(elsewhere, other));
        EXPECT_EQ(tableIn(elsewhere), nullptr);
        EXPECT_EQ(Table::bound(), &host);
        second.detach();
        EXPECT_EQ(Table::bound(), &host);

        // Entries taken away come back whole.
        table.api().sendEvent = nullptr;
        table.restoreEntries();
        EXPECT_EQ(imports.hostApi->sendEvent(kEventRudder, -1), 7u);

        // The module may have dropped the table itself (its load state);
        // detaching then leaves whatever the imports hold alone.
        HostApi foreign{};
        imports.hostApi = &foreign;
        table.detach();
        EXPECT_EQ(tableIn(imports), &foreign);
        EXPECT_EQ(Table::bound(), nullptr);
        ASSERT_TRUE(table.attach(imports, host));
    }
    // Gone with its table: the imports hold none, and the entries, if the
    // module kept them, reach no host.
    EXPECT_EQ(tableIn(imports), nullptr);
    EXPECT_EQ(Table::bound(), nullptr);
    Table later;
    ASSERT_TRUE(later.attach(imports, other));
    HostApi kept = *imports.hostApi;
    later.detach();
    HostVar variable{};
    kept.readVariable(&variable);
    EXPECT_EQ(kept.sendEvent(kEventElevator, 1), 0u);
    EXPECT_TRUE(other.reads.empty());
    EXPECT_TRUE(other.events.empty());
}

}  // namespace
