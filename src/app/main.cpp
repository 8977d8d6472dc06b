#include "app/KerflineApp.h"
#include "app/MainFrame.h"

int main(int argc, char** argv) {
    CKerflineApp app(argc, argv);
    if (!app.initInstance()) {
        return 1;
    }
    const int result = app.exec();
    return result;
}
