// mirsight-collapse: turns FASTQ or FASTA reads into the tag-count file that
// mirsight reads (one distinct sequence, a tab, its number of reads).
#include <iostream>

#include "collapse/collapse_options.hpp"
#include "core/messages.hpp"
#include "core/staged_output.hpp"
#include "collapse/run_collapse.hpp"

int main(int argc, char * argv[])
{
    set_program_name("mirsight-collapse");
    install_signal_cleanup();
    collapse_options options;
    std::vector<std::string> const arguments(argv + 1, argv + argc);
    int const status = parse_collapse_options(arguments, options);
    if (status != 0)
        return status;
    if (options.show_help)
    {
        std::cout << collapse_usage();
        return 0;
    }
    return run_collapse(options);
}
