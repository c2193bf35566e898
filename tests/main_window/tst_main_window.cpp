// Runs the main window's test classes as one program.
#include <QApplication>

int RunLayoutTests(int argc, char** argv);
int RunSettingsPanelTests(int argc, char** argv);
int RunAddressFocusTests(int argc, char** argv);
int RunSettingsFileTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failures = 0;
    failures += RunLayoutTests(argc, argv);
    failures += RunSettingsPanelTests(argc, argv);
    failures += RunAddressFocusTests(argc, argv);
    failures += RunSettingsFileTests(argc, argv);
    return failures;
}
