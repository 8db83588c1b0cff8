// Segment measurements used by the stroke and dash filters.
#include "geometry/Segment.h"

#include <gtest/gtest.h>

namespace {

TEST(SegmentMeasure, LengthMidpointAndInterpolation) {
    const Segment s({1.0f, 2.0f}, {4.0f, 6.0f});
    EXPECT_EQ(s.length(), 5.0f);
    EXPECT_EQ(s.midpoint(), (Point2{2.5f, 4.0f}));
    EXPECT_EQ(s.pointAt(0.0f), (Point2{1.0f, 2.0f}));
    EXPECT_EQ(s.pointAt(1.0f), (Point2{4.0f, 6.0f}));
    EXPECT_EQ(s.pointAt(0.5f), (Point2{2.5f, 4.0f}));
}

TEST(SegmentMeasure, SideTellsTheTwoHalfPlanesApart) {
    const Segment s({0.0f, 0.0f}, {10.0f, 0.0f});
    EXPECT_EQ(s.side({3.0f, 2.0f}), 20.0f);
    EXPECT_EQ(s.side({3.0f, -2.0f}), -20.0f);
    EXPECT_EQ(s.side({-7.0f, 0.0f}), 0.0f);
}

TEST(SegmentIntersect, CrossingOfTheInfiniteLines) {
    const Segment horizontal({0.0f, -1.0f}, {10.0f, -1.0f});
    const Segment vertical({11.0f, 0.0f}, {11.0f, 10.0f});
    EXPECT_EQ(horizontal.intersect(vertical), (Point2{11.0f, -1.0f}));
    const Segment diagonal({0.0f, 0.0f}, {1.0f, 1.0f});
    const Segment anti({4.0f, 0.0f}, {3.0f, 1.0f});
    EXPECT_EQ(diagonal.intersect(anti), (Point2{2.0f, 2.0f}));
}

TEST(SegmentIntersect, ParallelLinesGiveTheOtherStart) {
    const Segment a({0.0f, 0.0f}, {10.0f, 0.0f});
    const Segment b({3.0f, 5.0f}, {8.0f, 5.0f});
    EXPECT_EQ(a.intersect(b), (Point2{3.0f, 5.0f}));
    const Segment point({1.0f, 1.0f}, {1.0f, 1.0f});
    EXPECT_EQ(point.intersect(b), (Point2{3.0f, 5.0f}));
}

TEST(SegmentCaps, PerpendicularAtEachEnd) {
    const Segment s({0.0f, 0.0f}, {10.0f, 0.0f});
    const Segment start = s.startCap(1.0f);
    EXPECT_EQ(start.a, (Point2{0.0f, 1.0f}));
    EXPECT_EQ(start.b, (Point2{0.0f, -1.0f}));
    const Segment end = s.endCap(2.0f);
    EXPECT_EQ(end.a, (Point2{10.0f, 2.0f}));
    EXPECT_EQ(end.b, (Point2{10.0f, -2.0f}));
    const Segment dot({3.0f, 3.0f}, {3.0f, 3.0f});
    EXPECT_EQ(dot.startCap(1.0f).a, (Point2{3.0f, 3.0f}));
}

} // namespace
