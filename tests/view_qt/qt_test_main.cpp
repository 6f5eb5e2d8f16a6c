// The Qt view's tests need one QApplication for the whole run, and
// WebEngine needs its settings before that is created.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

// Chromium's browser side runs inside this process and is not ours to fix:
// it deletes some objects through a pointer of another size and keeps some
// allocations to the end. Our own code stays fully checked.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    // ctest may run us without the environment the test script sets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Chromium's sandbox does not start for root or inside containers.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
