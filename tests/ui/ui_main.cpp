#include "ui/application.h"

#include <gtest/gtest.h>

// Widget tests need the application object before anything else; it is the program's own,
// so that the error funnel of notify() is under test as well.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    plumtide::TPlumtideApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
