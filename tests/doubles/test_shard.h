// Lets CTest run one long test program as several tests side by side: with
// CORDELO_TEST_SHARD="K/N" in the environment, a program runs only every Nth of its test
// functions, from the Kth (counted from 0) on, in the order the class declares them.
#pragma once

#include <QObject>

namespace doubles {

// QTest::qExec for the test functions of this program's shard; all of them without a shard.
int ExecShard(QObject* test, int argc, char** argv);

} // namespace doubles

// QTEST_GUILESS_MAIN for a test that CTest runs in shards.
#define CORDELO_TEST_GUILESS_SHARDED_MAIN(TestObject)                                              \
    int main(int argc, char** argv) {                                                              \
        QCoreApplication app(argc, argv);                                                          \
        TestObject test;                                                                           \
        return doubles::ExecShard(&test, argc, argv);                                              \
    }
