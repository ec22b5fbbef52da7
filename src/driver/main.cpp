// mirsight: finds which small-RNA tags come from which mature miRNAs, and in
// which form (exact or isomiR), and writes per-miRNA and per-tag tables.
#include "driver/command_line.hpp"
#include "driver/run.hpp"

int main(int argc, char * argv[])
{
    run_parameters parameters;
    int const status = parse_command_line(BuildParameterList(argc, argv), parameters);
    if (status != 0)
        return status;
    return run_pipeline(parameters);
}
