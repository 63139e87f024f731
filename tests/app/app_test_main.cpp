// The main of the window's tests: Qt on its offscreen platform, set up as the program sets itself up.
#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
  // No display is needed; a run under a real X server can still ask for xcb explicitly.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  phototrim::app::PrepareEnvironment();
  phototrim::app::TApplication application(argc, argv);
  phototrim::app::SetUpApplication(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
