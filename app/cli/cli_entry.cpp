// rotaconf-cli's entry point; the program itself is RunCli.
#include "cli_context.h"

int main(int argc, char **argv)
{
    return RunCli(argc, argv);
}
