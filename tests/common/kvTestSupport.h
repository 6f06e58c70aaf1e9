#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtTest>

namespace KvTest {

// Application identity the product runs under: name "Kestrova", no organisation.
void setUpApplication();

// Path of a file in tests/data.
QString dataPath(const QString &pName);

// Bytes the C library's heap has handed out, or -1 where the heap cannot be watched
// (a sanitizer's allocator).
qint64 heapInUse();

}

// QTEST_MAIN with the product's application identity.
#define KV_TEST_MAIN(TestObject)                                                                   \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication tApp(argc, argv);                                                             \
        KvTest::setUpApplication();                                                                \
        QTEST_DISABLE_KEYPAD_NAVIGATION                                                            \
        TestObject tTest;                                                                          \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tTest, argc, argv);                                                   \
    }
