#include "kvApplication.h"
#include "kvStartup.h"

int main(int argc, char **argv)
{
    Kv::Platform::setPluginPaths(argc > 0 ? argv[0] : nullptr);
    kvApplication tApp(argc, argv);
    return Kv::Startup::run(tApp);
}
