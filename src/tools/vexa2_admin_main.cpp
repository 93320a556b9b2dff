// vexa2-admin: server accounts and lists from the command line.
#include "tools/AdminCommands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunAdminCommand(args, std::cout, std::cerr);
}
