#include "reads/adapter_detection.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "reads/read_trimming.hpp"

namespace
{
constexpr double kit_share_needed = 0.2;
constexpr std::size_t probe_length = 10;
constexpr std::size_t kmer_length = 12;
constexpr std::size_t first_kmer_start = 18;
constexpr std::size_t last_kmer_start = 30;
constexpr uint64_t longest_mirna = 40;

std::string percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * share);
    return text;
}

struct kit_share
{
    kit_preset kit;
    double share = 0;
};

// Each kit adapter once (kits sharing an adapter: the first), by
// decreasing share.
std::vector<kit_share> kit_shares(std::vector<std::string> const & reads)
{
    std::vector<kit_share> shares;
    for (kit_preset const & kit : kit_presets())
    {
        bool const seen = std::any_of(shares.begin(), shares.end(),
                                      [&](kit_share const & other) { return other.kit.adapter == kit.adapter; });
        if (!seen)
            shares.push_back({kit, adapter_share(reads, kit.adapter)});
    }
    std::stable_sort(shares.begin(), shares.end(),
                     [](kit_share const & a, kit_share const & b) { return a.share > b.share; });
    return shares;
}

double share_up_to_mirna_length(std::vector<std::string> const & reads)
{
    return static_cast<double>(std::count_if(reads.begin(), reads.end(), [](std::string const & read) {
               return read.size() <= longest_mirna;
           })) /
           static_cast<double>(reads.size());
}

// Most reads no longer than a miRNA, or of many lengths (a sequencer's
// reads have one length).
bool looks_trimmed(std::vector<std::string> const & reads)
{
    std::map<std::size_t, uint64_t> lengths;
    for (std::string const & read : reads)
        ++lengths[read.size()];
    uint64_t most_common = 0;
    for (auto const & [length, count] : lengths)
        most_common = std::max(most_common, count);
    double const total = static_cast<double>(reads.size());
    return share_up_to_mirna_length(reads) >= 0.5 || static_cast<double>(most_common) < 0.5 * total;
}

using kmer_counts = std::unordered_map<std::string, uint64_t>;

// The reads holding each 12-mer that starts 18 to 30 letters in (once per read).
kmer_counts count_kmers(std::vector<std::string> const & reads)
{
    kmer_counts counts;
    std::vector<std::string> own;
    for (std::string const & read : reads)
    {
        own.clear();
        for (std::size_t start = first_kmer_start; start <= last_kmer_start && start + kmer_length <= read.size();
             ++start)
            if (read.find('N', start) >= start + kmer_length)
                own.push_back(read.substr(start, kmer_length));
        std::sort(own.begin(), own.end());
        own.erase(std::unique(own.begin(), own.end()), own.end());
        for (std::string const & kmer : own)
            ++counts[kmer];
    }
    return counts;
}

uint64_t count_of(kmer_counts const & counts, std::string const & kmer)
{
    auto const found = counts.find(kmer);
    return found == counts.end() ? 0 : found->second;
}

// The k-mer moved left while one letter before it holds most of its count:
// the adapter's start, not a k-mer inside it.
std::string move_to_start(kmer_counts const & counts, std::string kmer)
{
    for (std::size_t step = 0; step < kmer_length; ++step)
    {
        uint64_t const own = count_of(counts, kmer);
        std::string best;
        uint64_t best_count = 0;
        for (char letter : std::string("ACGT"))
        {
            std::string const left = letter + kmer.substr(0, kmer_length - 1);
            uint64_t const count = count_of(counts, left);
            if (count > best_count)
            {
                best = left;
                best_count = count;
            }
        }
        if (static_cast<double>(best_count) < 0.7 * static_cast<double>(own))
            break;
        kmer = best;
    }
    return kmer;
}

// `adapter` lengthened to the right (to 24 letters at most) by the letter
// that follows it in most of the reads holding it.
std::string extend_right(std::vector<std::string> const & reads, std::string adapter)
{
    while (adapter.size() < 24)
    {
        uint64_t next[256] = {};
        uint64_t holding = 0;
        for (std::string const & read : reads)
        {
            std::size_t const at = read.find(adapter, first_kmer_start);
            if (at == std::string::npos || at + adapter.size() >= read.size())
                continue;
            ++holding;
            ++next[static_cast<unsigned char>(read[at + adapter.size()])];
        }
        char const best = static_cast<char>(std::max_element(next, next + 256) - next);
        if (holding == 0 || best == 'N' || static_cast<double>(next[static_cast<unsigned char>(best)]) <
                                               0.7 * static_cast<double>(holding))
            break;
        adapter += best;
    }
    return adapter;
}

// A k-mer that is part of the adapter or runs into it from the insert.
bool overlaps_adapter(std::string const & kmer, std::string const & adapter)
{
    return adapter.find(kmer.substr(0, 8)) != std::string::npos ||
           kmer.find(adapter.substr(0, 8)) != std::string::npos;
}
}  // namespace

double adapter_share(std::vector<std::string> const & reads, std::string const & adapter)
{
    if (reads.empty())
        return 0;
    std::string const probe = adapter.substr(0, probe_length);
    uint64_t holding = 0;
    for (std::string const & read : reads)
        holding += find_before(read, probe) != std::string_view::npos;
    return static_cast<double>(holding) / static_cast<double>(reads.size());
}

std::string choice_text(adapter_choice const & choice)
{
    if (!choice.error.empty())
        return choice.error;
    if (choice.already_trimmed)
        return "reads are already trimmed (" + percent(choice.share) + " of " + std::to_string(choice.sampled_reads) +
               " reads have at most 40 letters): nothing is trimmed";
    std::string const source = choice.given ? " (as given)"
                               : choice.kit.empty() ? " (found in the reads)"
                                                    : " (" + choice.kit + " kit)";
    return "3' adapter " + choice.adapter + source +
           " in " + percent(choice.share) + " of the first " + std::to_string(choice.sampled_reads) + " reads" +
           (choice.umi_length > 0 ? ", then a " + std::to_string(choice.umi_length) + "-base UMI" : "");
}

adapter_choice detect_adapter(std::vector<std::string> const & reads)
{
    adapter_choice choice;
    choice.sampled_reads = reads.size();
    if (reads.empty())
    {
        choice.already_trimmed = true;
        return choice;
    }
    std::vector<kit_share> const kits = kit_shares(reads);
    if (kits.front().share >= kit_share_needed)
    {
        choice.adapter = kits.front().kit.adapter;
        choice.kit = kits.front().kit.name;
        choice.umi_length = kits.front().kit.umi_length;
        choice.share = kits.front().share;
        return choice;
    }
    if (looks_trimmed(reads))
    {
        choice.already_trimmed = true;
        choice.share = share_up_to_mirna_length(reads);
        return choice;
    }

    kmer_counts const counts = count_kmers(reads);
    std::string top;
    uint64_t top_count = 0;
    for (auto const & [kmer, count] : counts)
        if (count > top_count || (count == top_count && kmer < top))
        {
            top = kmer;
            top_count = count;
        }
    std::string adapter;
    uint64_t other_count = 0;
    std::string other;
    if (!top.empty())
    {
        adapter = extend_right(reads, move_to_start(counts, top));
        for (auto const & [kmer, count] : counts)
            if (!overlaps_adapter(kmer, adapter) && (count > other_count || (count == other_count && kmer < other)))
            {
                other = kmer;
                other_count = count;
            }
    }
    double const total = static_cast<double>(reads.size());
    double const top_share = static_cast<double>(top_count) / total;
    if (!adapter.empty() && top_share >= kit_share_needed && top_count >= 2 * other_count)
    {
        choice.adapter = adapter;
        choice.share = adapter_share(reads, adapter);
        return choice;
    }
    std::string error = "cannot tell the 3' adapter from the first " + std::to_string(reads.size()) +
                        " reads: kit adapters ";
    for (std::size_t i = 0; i < kits.size(); ++i)
        error += (i == 0 ? "" : ", ") + kits[i].kit.name + " " + kits[i].kit.adapter + " in " + percent(kits[i].share);
    if (!top.empty())
        error += "; most common 12-mer " + std::to_string(first_kmer_start + 1) + " to " +
                 std::to_string(last_kmer_start + 1) + " letters in: " + top + " in " + percent(top_share) +
                 (other.empty() ? std::string() : ", next " + other + " in " + percent(static_cast<double>(other_count) / total));
    error += "; name it with --adapter SEQUENCE or --protocol NAME, or give --adapter none";
    choice.error = error;
    return choice;
}

std::string untrimmed_warning(std::vector<std::string> const & reads)
{
    if (reads.empty())
        return "";
    std::vector<kit_share> const kits = kit_shares(reads);
    if (kits.front().share >= kit_share_needed)
        return percent(kits.front().share) + " of the first " + std::to_string(reads.size()) + " reads hold the " +
               kits.front().kit.name + " 3' adapter " + kits.front().kit.adapter +
               ", but they are counted untrimmed (--adapter none); try --protocol " + kits.front().kit.name;
    double const long_share = 1 - share_up_to_mirna_length(reads);
    if (long_share > 0.5)
        return percent(long_share) + " of the first " + std::to_string(reads.size()) +
               " reads are longer than 40 letters, but they are counted untrimmed (--adapter none); " +
               "they may hold an adapter: try --adapter auto";
    return "";
}

std::string given_adapter_warning(adapter_choice const & choice)
{
    return "only " + percent(choice.share) + " of the first " + std::to_string(choice.sampled_reads) +
           " reads show the 3' adapter " + choice.adapter +
           " that was asked for; the other reads are counted as 'no adapter'. Check the kit, or try --adapter auto";
}
