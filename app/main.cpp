#include "kvApplication.h"
#include "kvMainWindow.h"
#include "kvStartup.h"

int main(int argc, char **argv)
{
    Kv::Platform::setPluginPaths(argc > 0 ? argv[0] : nullptr);
    kvApplication tApp(argc, argv);
    if (!Kv::Startup::prepare())
        return 0;
    kvMainWindow tWindow;
    tWindow.show();
    tApp.setMainWindow(&tWindow);
    return tApp.exec();
}
