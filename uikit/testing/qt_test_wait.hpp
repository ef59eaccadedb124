#pragma once

// Waiting for the event loop inside GoogleTest tests. QTest's QTRY_*, QVERIFY and QCOMPARE report
// a failure to QTest's own log, which a GoogleTest binary never reads, and then return from the
// test: the test would pass. These report through GoogleTest instead.

#include <gtest/gtest.h>

#include <QTest>

/// How long a waiting check lets the event loop run before it fails, in milliseconds.
inline constexpr int kVtTryTimeoutMs = 5000;

/// Runs the event loop until `condition` holds; fails the test (and returns) after the timeout.
#define VT_TRY_VERIFY(condition)                                                                   \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, kVtTryTimeoutMs))    \
        << "never true: " #condition

/// Runs the event loop until `actual == expected`; fails the test (and returns) after the timeout,
/// showing both values.
#define VT_TRY_COMPARE(actual, expected)                                                           \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, kVtTryTimeoutMs);            \
        ASSERT_EQ(actual, expected);                                                               \
    } while (false)
