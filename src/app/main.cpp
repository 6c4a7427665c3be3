#include "app/app.h"

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    return app.Run();
}
