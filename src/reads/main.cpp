// mirsight-collapse: turns FASTQ or FASTA reads into the tag-count file that
// mirsight reads (one distinct sequence, a tab, its number of reads).
#include "reads/run_collapse.hpp"
#include "core/messages.hpp"
#include "core/staged_output.hpp"

int main(int argc, char * argv[])
{
    set_program_name("mirsight-collapse");
    install_signal_cleanup();
    return collapse_command(std::vector<std::string>(argv + 1, argv + argc));
}
