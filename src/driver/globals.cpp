#include "driver/globals.hpp"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <new>
#include <system_error>
#include <thread>

#include <malloc.h>
#include <sys/stat.h>

#include "tags/parallel_chunks.hpp"

std::vector<seed_vet_t> seed_vet;
std::vector<std::string> specie_code_vet;
std::vector<char_string> species_to_check_vet;
std::vector<tag_vet_t> tag_vet;
std::vector<result_mirna_uniq_ambig_vet_t> result_mirna_uniq_ambig_vet;
std::vector<tag_vet_t> result_tag_uniq_vet;
std::vector<tag_vet_t> result_tag_ambig_vet;

uint32_t tot_total_tag_count = 0;
uint32_t discarded_tag = 0;
uint32_t mirna_elaborated = 0;
uint32_t numb_of_mirna = 0;
uint64_t read_count_experiment = 0;
uint64_t unique_reads_mapped_on_library = 0;
uint64_t ambigue_reads_mapped_on_library = 0;
uint64_t uniq_mapped_total_tags_count = 0;
uint64_t ambigue_mapped_total_tag_count = 0;
uint64_t ambigue_selected_mapped_total_tag_count = 0;

namespace
{
// glibc's default largest size of the blocks its fast lists keep.
constexpr int default_fast_block_limit = 64 * static_cast<int>(sizeof(std::size_t)) / 4;

template <typename T>
void release(std::vector<T> & table)
{
    std::vector<T>().swap(table);
}

// Releases a tag table, the blocks every tag holds spread over the threads:
// each thread frees the tags of the same range it filled, so mostly into the
// heap that gave the blocks out. With more than one thread, the emptied
// records and the table's own memory are given back on a thread of their own
// (`giving_back`, joined by the caller), while the calling thread goes on with
// the next table; the table itself is empty on return either way.
void release_tags(std::vector<tag_vet_t> & tags, uint32_t thread_count, std::vector<std::thread> & giving_back)
{
    if (thread_count <= 1)
    {
        release(tags);
        return;
    }
    run_in_chunks(tags.size(), thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        for (uint64_t i = first; i < last; ++i)
        {
            tags[i].~tag_vet_t();  // the sequence types cannot be moved from
            new (&tags[i]) tag_vet_t();
        }
    });
    std::vector<tag_vet_t> emptied;
    emptied.swap(tags);
    try
    {
        giving_back.emplace_back([records = std::move(emptied)]() mutable { release(records); });
    }
    catch (std::system_error const &)
    {
        release(emptied);  // no thread: given back here
    }
}
}  // namespace

int32_t free_all_structures()
{
    return free_all_structures_threads(1);
}

int32_t free_all_structures_threads(uint32_t thread_count)
{
    // The tables hold millions of small blocks. glibc parks freed small
    // blocks in its fast lists and merges them with their neighbours later,
    // in one pass that costs about twice as much as merging each block as it
    // is freed; so the fast lists are off while the tables are released.
    mallopt(M_MXFAST, 0);
    drop_heap_padding();
    release(seed_vet);
    release(specie_code_vet);
    release(species_to_check_vet);
    std::vector<std::thread> giving_back;
    release_tags(tag_vet, thread_count, giving_back);
    release(result_mirna_uniq_ambig_vet);
    release_tags(result_tag_uniq_vet, thread_count, giving_back);
    release_tags(result_tag_ambig_vet, thread_count, giving_back);
    for (std::thread & thread : giving_back)
        thread.join();
    mallopt(M_MXFAST, default_fast_block_limit);
    return 0;
}

rna_string text_to_rna5(std::string const & text)
{
    rna_string seq;
    seqan::resize(seq, text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        char letter = 'N';
        switch (text[i])
        {
            case 'A': case 'a': letter = 'A'; break;
            case 'C': case 'c': letter = 'C'; break;
            case 'G': case 'g': letter = 'G'; break;
            case 'U': case 'u': letter = 'U'; break;
            default: break;
        }
        seq[i] = letter;  // the library maps these five letters one to one
    }
    return seq;
}

std::string rna5_to_text(rna_string const & seq)
{
    static char const letters[] = "ACGUN";
    std::string text(seqan::length(seq), 'N');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = letters[seqan::ordValue(seq[i])];
    return text;
}

bool open_for_reading(std::ifstream & in, std::string const & path, std::string & reason)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
    {
        reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode))
    {
        reason = "Is a directory";
        return false;
    }
    errno = 0;
    in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open())
    {
        reason = errno != 0 ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    return true;
}

bool read_text_line(std::istream & in, std::string & line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool is_mirna_exact(mirna_matched_vet_t const & a)
{
    return !a.iso_5p && !a.iso_snp && !a.iso_multi_snp && !a.iso_3p;
}

mirna_vet_t const & matched_mirna(mirna_matched_vet_t const & a)
{
    return seed_vet[a.seed_index].specie_vet[a.specie_index].mirna_vet[a.mirna_vet_index];
}

void print_error(std::string const & message)
{
    std::cerr << "mirsight: error: " << message << '\n';
}

void print_warning(std::string const & message)
{
    std::cerr << "mirsight: warning: " << message << '\n';
}
