// The gui tests share one application object: Qt allows one per process.

#include "gui/RegisterGuiClasses.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qor::RegisterGuiClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
