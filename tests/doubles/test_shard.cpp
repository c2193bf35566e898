#include "test_shard.h"

#include <QMetaMethod>
#include <QStringList>
#include <QTest>

#include <cstdio>
#include <optional>

namespace doubles {
namespace {

struct Shard {
    int index = 0;
    int count = 1;
};

std::optional<Shard> ShardOfEnvironment() {
    const QList<QByteArray> parts = qgetenv("CORDELO_TEST_SHARD").split('/');
    if (parts.size() != 2)
        return std::nullopt;
    bool indexOk = false;
    bool countOk = false;
    const Shard shard{parts[0].toInt(&indexOk), parts[1].toInt(&countOk)};
    if (!indexOk || !countOk || shard.count < 1 || shard.index < 0 || shard.index >= shard.count)
        return std::nullopt;
    return shard;
}

bool IsTestFunction(const QMetaMethod& method) {
    static const QList<QByteArray> fixtures{"initTestCase", "initTestCase_data", "cleanupTestCase",
                                            "init", "cleanup"};
    return method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private &&
           method.parameterCount() == 0 && !method.name().endsWith("_data") &&
           !fixtures.contains(method.name());
}

} // namespace

int ExecShard(QObject* test, int argc, char** argv) {
    const std::optional<Shard> shard = ShardOfEnvironment();
    if (!shard)
        return QTest::qExec(test, argc, argv);
    // The options given (an output file, say) stay; the shard names the functions.
    QStringList arguments;
    for (int n = 0; n < argc; ++n)
        arguments << QString::fromLocal8Bit(argv[n]);
    const qsizetype given = arguments.size();
    const QMetaObject& meta = *test->metaObject();
    int place = 0;
    for (int m = meta.methodOffset(); m < meta.methodCount(); ++m) {
        const QMetaMethod method = meta.method(m);
        if (IsTestFunction(method) && place++ % shard->count == shard->index)
            arguments << QString::fromLatin1(method.name());
    }
    // With no function named, Qt Test would run them all.
    if (arguments.size() == given) {
        std::printf("no test function falls in shard %d of %d\n", shard->index, shard->count);
        return 0;
    }
    return QTest::qExec(test, arguments);
}

} // namespace doubles
