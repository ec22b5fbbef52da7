#include "driver/merge_command.hpp"

#include "core/messages.hpp"

int merge_command(std::vector<std::string> const &)
{
    print_error("mirsight merge: not built yet");
    return 1;
}
