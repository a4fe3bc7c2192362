#include <QCoreApplication>
#include <gtest/gtest.h>

// One application object for the whole process: creating and destroying it
// per test breaks Qt's event dispatcher.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
