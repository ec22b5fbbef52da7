// The index and search of the other small-RNA classes (src/rna_classes) on
// generated references and tags; bench/rna_class_bench.sh runs it.
//
//   rna_class_bench reference OUT.fa LETTERS SEED
//       writes a reference of about LETTERS letters: records of 70 to 5,000
//       letters, 46% GC, one letter in 100,000 an N, and one record in five
//       sharing a stretch of 200 to 1,000 letters with an earlier one (as
//       the isoforms of a cDNA collection share exons);
//   rna_class_bench tags OUT.txt COUNT SEED REFERENCE.fa...
//       writes COUNT distinct tags of 18 to 30 letters, one per line: half
//       drawn from the references (a third of those with one substitution),
//       half random;
//   rna_class_bench open NAME=REFERENCE.fa...
//       opens the classes as a run does (builds or loads each index) and
//       prints the log;
//   rna_class_bench search THREADS MAX_SUBSTITUTIONS TAGS.txt NAME=REFERENCE.fa...
//       opens the classes, then places every tag in the first class that
//       holds it and prints the search's seconds, tags per second and the
//       tags found in each class, exactly and with substitutions.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/sequence_text.hpp"
#include "core/text_input.hpp"
#include "rna_classes/class_reference.hpp"

namespace
{
char random_letter(std::mt19937_64 & rng)
{
    // 27% A, 23% C, 23% G, 27% T.
    uint64_t const r = rng() % 100;
    return r < 27 ? 'A' : r < 50 ? 'C' : r < 73 ? 'G' : 'T';
}

int write_reference(std::string const & path, uint64_t letters, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::ofstream out(path, std::ios::binary);
    std::vector<std::string> kept;  // some earlier records, to share stretches with
    uint64_t written = 0;
    for (uint64_t record = 0; written < letters; ++record)
    {
        std::string sequence(70 + rng() % 4931, 'A');
        for (char & c : sequence)
            c = rng() % 100000 == 0 ? 'N' : random_letter(rng);
        if (!kept.empty() && rng() % 5 == 0)
        {
            std::string const & earlier = kept[rng() % kept.size()];
            std::size_t const length = std::min<std::size_t>(200 + rng() % 801, earlier.size());
            std::size_t const from = rng() % (earlier.size() - length + 1);
            std::size_t const to = rng() % sequence.size();
            sequence.replace(to, std::min(length, sequence.size() - to), earlier, from, length);
        }
        if (kept.size() < 1000)
            kept.push_back(sequence);
        else if (rng() % 100 == 0)
            kept[rng() % kept.size()] = sequence;
        out << ">rec" << record << " generated\n";
        for (std::size_t i = 0; i < sequence.size(); i += 80)
            out << sequence.substr(i, 80) << '\n';
        written += sequence.size();
    }
    return out.good() ? 0 : 1;
}

// The letters of the records of a FASTA, joined, one record after the other.
std::vector<std::string> read_records(std::string const & path)
{
    std::ifstream in(path);
    std::vector<std::string> records;
    std::string line;
    while (read_text_line(in, line))
        if (!line.empty() && line[0] == '>')
            records.emplace_back();
        else if (!records.empty())
            records.back() += line;
    return records;
}

int write_tags(std::string const & path, uint64_t count, uint64_t seed, std::vector<std::string> const & references)
{
    std::mt19937_64 rng(seed);
    std::vector<std::string> records;
    for (std::string const & reference : references)
        for (std::string & record : read_records(reference))
            if (record.size() >= 30)
                records.push_back(std::move(record));
    if (records.empty())
        return 1;
    std::unordered_set<std::string> seen;
    std::ofstream out(path, std::ios::binary);
    while (seen.size() < count)
    {
        std::size_t const length = 18 + rng() % 13;
        std::string tag;
        if (seen.size() % 2 == 0)
        {
            std::string const & record = records[rng() % records.size()];
            tag = record.substr(rng() % (record.size() - length + 1), length);
            if (rng() % 3 == 0)
            {
                char & c = tag[rng() % length];
                c = "CGTA"[std::string("ACGT").find(c) % 4];
            }
        }
        else
        {
            for (std::size_t i = 0; i < length; ++i)
                tag += random_letter(rng);
        }
        for (char & c : tag)
            c = c == 'T' ? 'U' : c;
        if (seen.insert(tag).second)
            out << tag << '\n';
    }
    return out.good() ? 0 : 1;
}

int open_classes(std::vector<std::string> const & requests, std::vector<class_reference> & classes)
{
    for (std::string const & request : requests)
    {
        std::size_t const equals = request.find('=');
        if (equals == std::string::npos)
        {
            std::cerr << "rna_class_bench: a class is NAME=FASTA, not '" << request << "'\n";
            return 2;
        }
        class_reference ref;
        if (open_class_reference(request.substr(0, equals), request.substr(equals + 1), "", ref, std::cout) != 0)
            return 1;
        classes.push_back(ref);
    }
    return 0;
}

int search(uint32_t threads, uint32_t max_substitutions, std::string const & tag_file,
           std::vector<std::string> const & requests)
{
    std::vector<class_reference> classes;
    if (int const status = open_classes(requests, classes))
        return status;
    std::vector<rna_string> letters;
    std::ifstream in(tag_file);
    std::string line;
    while (read_text_line(in, line))
        letters.push_back(text_to_rna5(line));
    std::vector<tag_letters> tags;
    for (rna_string const & l : letters)
        tags.push_back(tag_letters::viewing(&l[0], uint32_t(seqan::length(l))));

    auto const start = std::chrono::steady_clock::now();
    std::vector<class_placement> const placed = place_in_classes(classes, tags, max_substitutions, threads);
    double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("%zu tags, %u thread(s), at most %u substitution(s): %.3f s, %.0f tags/s\n", tags.size(), threads,
                max_substitutions, seconds, double(tags.size()) / seconds);
    std::vector<uint64_t> exact(classes.size()), inexact(classes.size());
    uint64_t none = 0;
    for (class_placement const & p : placed)
        if (p.class_number < 0)
            ++none;
        else
            ++(p.match.exact() ? exact : inexact)[std::size_t(p.class_number)];
    for (std::size_t c = 0; c < classes.size(); ++c)
        std::printf("  %s: %llu exact, %llu with substitutions\n", classes[c].name.c_str(),
                    static_cast<unsigned long long>(exact[c]), static_cast<unsigned long long>(inexact[c]));
    std::printf("  in no class: %llu\n", static_cast<unsigned long long>(none));
    return 0;
}
}  // namespace

int main(int argc, char ** argv)
{
    std::vector<std::string> const args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "reference")
        return write_reference(args[1], std::stoull(args[2]), std::stoull(args[3]));
    if (args.size() >= 5 && args[0] == "tags")
        return write_tags(args[1], std::stoull(args[2]), std::stoull(args[3]), {args.begin() + 4, args.end()});
    if (args.size() >= 2 && args[0] == "open")
    {
        std::vector<class_reference> classes;
        return open_classes({args.begin() + 1, args.end()}, classes);
    }
    if (args.size() >= 5 && args[0] == "search")
        return search(uint32_t(std::stoul(args[1])), uint32_t(std::stoul(args[2])), args[3],
                      {args.begin() + 4, args.end()});
    std::cerr << "usage: rna_class_bench reference OUT.fa LETTERS SEED | tags OUT.txt COUNT SEED FASTA... |\n"
                 "       open NAME=FASTA... | search THREADS MAX_SUBSTITUTIONS TAGS.txt NAME=FASTA...\n";
    return 2;
}
