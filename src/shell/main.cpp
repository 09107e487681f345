#include "platform/memory_policy.h"
#include "shell/application.h"

int main(int argc, char** argv)
{
    tonvela::keepFreedMemoryForReuse();
    return tonvela::runApplication(argc, argv);
}
