#include "gui/Application.h"

int main(int argc, char* argv[]) {
    Application app(argc, argv);
    // A failed start-up check has shown its message; that too ends with status 0.
    app.run();
    return 0;
}
