// mirsight: finds which small-RNA tags come from which mature miRNAs, and in
// which form (exact or isomiR), and writes per-miRNA and per-tag tables.
#include <iostream>

#include "core/messages.hpp"
#include "core/run_state.hpp"
#include "core/version.hpp"
#include "driver/command_line.hpp"
#include "driver/run.hpp"
#include "driver/usage.hpp"

int main(int argc, char * argv[])
{
    set_program_name("mirsight");
    run_parameters parameters;
    int const status = parse_command_line(BuildParameterList(argc, argv), parameters);
    if (status != 0)
        return status;
    if (parameters.show_help)
    {
        std::cout << usage_text() << std::flush;
        return 0;
    }
    if (parameters.show_version)
    {
        std::cout << "mirsight " << mirsight_version << std::endl;
        return 0;
    }
    run_state state;
    return run_pipeline(parameters, state);
}
