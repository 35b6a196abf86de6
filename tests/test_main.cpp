#include "platform/application.h"

#include <gtest/gtest.h>

#include <QFont>

int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application application(argc, argv);
    QFont::insertSubstitution("Courier New", "Liberation Mono");
    return RUN_ALL_TESTS();
}
