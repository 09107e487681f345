#include "shell/application.h"

int main(int argc, char** argv)
{
    return tonvela::runApplication(argc, argv);
}
