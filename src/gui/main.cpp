#include "gui/Application.h"

// g_log, a static object of the core, exists before the application object.
int main(int argc, char* argv[]) {
    CQuorvelApp theApp(argc, argv);
    theApp.InitInstance();  // returns false once the window has closed
    return 0;
}
