// mirsight: finds which small-RNA tags come from which mature miRNAs, and in
// which form (exact or isomiR), and writes per-miRNA and per-tag tables.
//
//   mirsight [short options]            one run, as the short options say
//   mirsight map | merge | collapse     the subcommands, with long options
#include <iostream>
#include <string>
#include <vector>

#include "collapse/run_collapse.hpp"
#include "core/messages.hpp"
#include "core/staged_output.hpp"
#include "core/run_state.hpp"
#include "core/version.hpp"
#include "driver/command_line.hpp"
#include "driver/map_command.hpp"
#include "driver/merge_command.hpp"
#include "driver/run.hpp"
#include "driver/usage.hpp"

namespace
{
int short_option_run(int argc, char * argv[])
{
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
}  // namespace

int main(int argc, char * argv[])
{
    set_program_name("mirsight");
    install_signal_cleanup();
    std::string const subcommand = argc > 1 ? argv[1] : "";
    std::vector<std::string> const rest(argv + std::min(argc, 2), argv + argc);
    if (subcommand == "map")
        return map_command(rest);
    if (subcommand == "merge")
        return merge_command(rest);
    if (subcommand == "collapse")
    {
        set_program_name("mirsight collapse");
        return collapse_command(rest);
    }
    return short_option_run(argc, argv);
}
