#pragma once

#include <QTest>
#include <gtest/gtest.h>

// QtTest's checks (QTRY_VERIFY, QTRY_COMPARE, QVERIFY, QCOMPARE) report to
// QtTest, not to GoogleTest: a failing one only leaves the test function,
// and the test would pass. This listener fails the GoogleTest test in which
// one failed. QtTest keeps its failed state for the rest of the process, so
// a later test of the same process is judged by GoogleTest's own checks
// alone (CTest runs every test in a process of its own).
class QtTestFailures : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        m_failedBefore = QTest::currentTestFailed();
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        if (!m_failedBefore && QTest::currentTestFailed())
            ADD_FAILURE() << "a QtTest check (QTRY_VERIFY, QTRY_COMPARE, QVERIFY or QCOMPARE) "
                             "failed in this test and ended it early";
    }

    // Installs the listener; call once, after InitGoogleTest.
    static void install()
    {
        ::testing::UnitTest::GetInstance()->listeners().Append(new QtTestFailures);
    }

private:
    bool m_failedBefore = false;
};
