#include "cli/MainApp.h"

int main(int argc, char** argv) {
    CMainApp app;
    return app.InitInstance(argc, argv);
}
