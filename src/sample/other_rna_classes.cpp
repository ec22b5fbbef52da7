#include "sample/other_rna_classes.hpp"

#include <algorithm>

#include <dirent.h>

#include "core/file_names.hpp"
#include "core/parallel_chunks.hpp"
#include "core/sequence_text.hpp"

namespace
{
// True when one of the tag's alignments is its miRNA whole: no change.
bool is_a_mirna_exactly(tag_vet_t const & tag)
{
    return std::any_of(tag.mirna_matched_vet.begin(), tag.mirna_matched_vet.end(), [](mirna_matched_vet_t const & a) {
        return !a.iso_5p && !a.iso_3p && !a.iso_snp && !a.iso_multi_snp;
    });
}
}  // namespace

int open_classes(std::vector<class_request> const & requests, std::string const & index_dir, std::ostream & log,
                 std::vector<class_reference> & classes)
{
    classes.clear();
    for (class_request const & request : requests)
    {
        classes.emplace_back();
        if (open_class_reference(request.name, request.fasta, index_dir, classes.back(), log) != 0)
            return 1;
    }
    return 0;
}

// Every tag's best class as the header says, searched by rounds: first
// exactly in every class, then with one substitution in each class for the
// tags no class holds exactly, and so on, each tag until a class holds it.
// A tag that is a miRNA exactly is not searched; one a miRNA holds with
// changes only exactly, and it stays if it lies in a precursor.
class_assignment assign_to_classes(std::vector<class_reference> const & classes, uint32_t max_substitutions,
                                   precursor_catalogue const * precursors, std::vector<std::string> const & species,
                                   uint32_t thread_count, tag_table & tags)
{
    class_assignment assignment;
    if (classes.empty())
        return assignment;
    std::vector<int32_t> limit(tags.tag_vet.size(), -1);  // the most substitutions a class may use; -1: none
    for (std::size_t t = 0; t < tags.tag_vet.size(); ++t)
    {
        tag_vet_t const & tag = tags.tag_vet[t];
        bool const on_mirna = !tag.mirna_matched_vet.empty();
        if (on_mirna && is_a_mirna_exactly(tag))
            continue;
        limit[t] = on_mirna ? 0 : static_cast<int32_t>(max_substitutions);
    }

    std::vector<int64_t> best_class(tags.tag_vet.size(), -1);
    std::vector<class_match> best(tags.tag_vet.size());
    for (int32_t round = 0; round <= static_cast<int32_t>(max_substitutions); ++round)
    {
        // The tags still to place that may have `round` substitutions, fewer
        // after each class.
        std::vector<std::size_t> asked;
        for (std::size_t t = 0; t < tags.tag_vet.size(); ++t)
            if (best_class[t] < 0 && limit[t] >= round)
                asked.push_back(t);
        for (std::size_t c = 0; c < classes.size() && !asked.empty(); ++c)
        {
            // Each piece writes the matches of its own tags only.
            uint32_t const pieces = piece_count(asked.size(), thread_count, 16);
            run_in_pieces(pieces, thread_count, [&](uint64_t piece) {
                uint64_t const last = chunk_begin(asked.size(), pieces, static_cast<uint32_t>(piece + 1));
                for (uint64_t a = chunk_begin(asked.size(), pieces, static_cast<uint32_t>(piece)); a < last; ++a)
                {
                    std::size_t const t = asked[a];
                    class_match const found =
                        find_in_class(classes[c], tags.tag_vet[t].tag_sequence, static_cast<uint32_t>(round));
                    if (found.found)
                    {
                        best_class[t] = static_cast<int64_t>(c);
                        best[t] = found;
                    }
                }
            });
            asked.erase(std::remove_if(asked.begin(), asked.end(), [&](std::size_t t) { return best_class[t] >= 0; }),
                        asked.end());
        }
    }

    for (std::size_t t = 0; t < tags.tag_vet.size(); ++t)
    {
        if (best_class[t] < 0)
            continue;
        tag_vet_t & tag = tags.tag_vet[t];
        bool const on_mirna = !tag.mirna_matched_vet.empty();
        if (on_mirna && precursors != nullptr &&
            lies_in_a_precursor(*precursors, rna5_to_text(tag.tag_sequence), species))
            continue;  // a templated variant: it stays a miRNA (checked only for the few a class holds)
        assignment.by_tag_index[tag.tag_index] = {static_cast<uint32_t>(best_class[t]), best[t].record, on_mirna};
        tag.mirna_matched_vet = alignment_list{};
    }
    return assignment;
}

std::vector<class_counts> take_class_tags(std::vector<class_reference> const & classes,
                                          class_assignment const & assignment, tag_table & tags)
{
    std::vector<class_counts> counts(classes.size());
    for (std::size_t c = 0; c < classes.size(); ++c)
    {
        counts[c].name = classes[c].name;
        counts[c].reads_by_record.assign(classes[c].record_names.size(), 0);
    }
    if (assignment.by_tag_index.empty())
        return counts;
    auto const in_class = [&](tag_vet_t const & tag) {
        auto const found = assignment.by_tag_index.find(tag.tag_index);
        if (found == assignment.by_tag_index.end())
            return false;
        class_counts & into = counts[found->second.class_number];
        into.reads_by_record[found->second.record] += tag.tag_count;
        into.reads += tag.tag_count;
        ++into.tags;
        if (found->second.moved)
        {
            into.moved_reads += tag.tag_count;
            ++into.moved_tags;
        }
        return true;
    };
    tags.tag_vet.erase(std::remove_if(tags.tag_vet.begin(), tags.tag_vet.end(), in_class), tags.tag_vet.end());
    return counts;
}

std::string class_table_ending(std::string const & name)
{
    return ".class_" + name + ".tsv";
}

std::vector<std::string> class_tables_present(std::string const & prefix)
{
    std::string const folder = folder_of(prefix);
    std::string const start = base_name_of(prefix) + ".class_";
    std::vector<std::string> present;
    DIR * dir = opendir(folder.c_str());
    if (dir == nullptr)
        return present;
    while (dirent * entry = readdir(dir))
    {
        std::string const name = entry->d_name;
        if (name.size() <= start.size() + 4 || name.compare(0, start.size(), start) != 0 ||
            name.compare(name.size() - 4, 4, ".tsv") != 0)
            continue;
        std::string const class_name = name.substr(start.size(), name.size() - start.size() - 4);
        if (class_name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-") ==
            std::string::npos)
            present.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(present.begin(), present.end());
    return present;
}

std::string class_table_header()
{
    return "reference\treads\n";
}

std::string class_table_text(class_reference const & reference, class_counts const & counts)
{
    std::vector<std::pair<std::string, uint64_t>> rows;
    for (std::size_t r = 0; r < counts.reads_by_record.size(); ++r)
        if (counts.reads_by_record[r] > 0)
            rows.emplace_back(reference.record_names[r], counts.reads_by_record[r]);
    std::sort(rows.begin(), rows.end());
    // Records of one name (a FASTA naming several records alike) are one row.
    std::string text = class_table_header();
    for (std::size_t i = 0; i < rows.size();)
    {
        std::size_t j = i;
        uint64_t reads = 0;
        for (; j < rows.size() && rows[j].first == rows[i].first; ++j)
            reads += rows[j].second;
        text += rows[i].first + '\t' + std::to_string(reads) + '\n';
        i = j;
    }
    return text;
}
