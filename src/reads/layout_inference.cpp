#include "reads/layout_inference.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "core/fasta_records.hpp"
#include "core/messages.hpp"

namespace
{
constexpr std::size_t longest_mirna = 40;
constexpr uint64_t least_explained_reads = 3;
constexpr double least_explained_share = 0.01;
constexpr uint64_t clear_margin = 3;           // the best explains this many times any other
constexpr double same_trimming_share = 0.05;   // candidates placing at most this share of inserts otherwise trim alike
constexpr double umi_short_share_warned = 0.1;     // UMIs cut short in more: a warning
constexpr double umi_short_share_set_aside = 0.5;  // in more: the UMI is set aside (or molecules refused)
constexpr double given_adapter_share_needed = 0.5;
constexpr std::size_t probe_length = 10;

// Mapping the layout from the letters after known miRNAs.
constexpr std::size_t farthest_offset = 8;        // random letters before the insert, at most
constexpr std::size_t anchored_reads_wanted = 20000;
constexpr std::size_t least_anchored_reads = 20;
constexpr std::size_t farthest_adapter_start = 12;
constexpr std::size_t longest_found_adapter = 24;  // letters of the adapter kept
constexpr std::size_t longest_shared_run = 64;     // shared letters followed, for a UMI after them
constexpr std::size_t shortest_found_adapter = 8;
constexpr std::size_t shared_run_needed = 4;      // shared letters in a row that start the adapter
constexpr std::size_t poly_a_run_needed = 4;
constexpr std::size_t shortest_umi = 4;
constexpr std::size_t longest_umi = 16;
constexpr std::size_t shared_after_umi_needed = 6;
constexpr double shared_letter_share = 0.6;

std::string percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * share);
    return text;
}

double share_of(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

int letter_code(char letter)
{
    switch (letter)
    {
    case 'A': return 0;
    case 'C': return 1;
    case 'G': return 2;
    case 'T': return 3;
    default: return -1;
    }
}

// The 2-bit code of letters[0, known_prefix_length), or false when one is
// not A, C, G or T.
bool prefix_code(std::string_view letters, uint32_t & code)
{
    code = 0;
    for (std::size_t i = 0; i < known_prefix_length; ++i)
    {
        int const letter = letter_code(letters[i]);
        if (letter < 0)
            return false;
        code = (code << 2) | static_cast<uint32_t>(letter);
    }
    return true;
}

// The known miRNAs whose first letters are those of `letters` (at least
// known_prefix_length long).
template <typename Visit>
void for_each_with_prefix(known_mirnas const & known, std::string_view letters, Visit visit)
{
    uint32_t code = 0;
    if (letters.size() < known_prefix_length || !prefix_code(letters, code))
        return;
    auto const first = std::lower_bound(known.by_prefix.begin(), known.by_prefix.end(),
                                        std::make_pair(code, uint32_t{0}));
    for (auto entry = first; entry != known.by_prefix.end() && entry->first == code; ++entry)
        visit(known.sequences[entry->second]);
}

// The length of the longest known miRNA that `read` holds whole from `at`, or 0.
std::size_t mirna_length_at(known_mirnas const & known, std::string_view read, std::size_t at)
{
    std::size_t longest = 0;
    for_each_with_prefix(known, read.substr(at), [&](std::string const & mirna) {
        if (mirna.size() > longest && read.size() - at >= mirna.size() && read.compare(at, mirna.size(), mirna) == 0)
            longest = mirna.size();
    });
    return longest;
}

// The letter most of `letters` hold, with its count.
struct column_letters
{
    std::array<uint64_t, 4> counts{};
    uint64_t total = 0;  // letters, N included

    void add(char letter)
    {
        ++total;
        int const code = letter_code(letter);
        if (code >= 0)
            ++counts[static_cast<std::size_t>(code)];
    }
    char shared() const  // the letter at least shared_letter_share of them hold, or 0
    {
        auto const top = std::max_element(counts.begin(), counts.end());
        if (total == 0 || static_cast<double>(*top) < shared_letter_share * static_cast<double>(total))
            return 0;
        return "ACGT"[top - counts.begin()];
    }
};

// The shared letter at each position of `tails` from `from`, 0 where none is.
std::string shared_letters(std::vector<std::string_view> const & tails, std::size_t from, std::size_t count)
{
    std::string shared;
    for (std::size_t p = from; p < from + count; ++p)
    {
        column_letters column;
        for (std::string_view tail : tails)
            if (tail.size() > p)
                column.add(tail[p]);
        if (column.total < least_anchored_reads)
            break;
        shared += column.shared();
    }
    return shared;
}

// Where the first run of `run` shared letters starts in `shared`, or npos.
std::size_t shared_run_start(std::string const & shared, std::size_t run)
{
    for (std::size_t p = 0; p + run <= shared.size(); ++p)
        if (std::all_of(shared.begin() + static_cast<std::ptrdiff_t>(p),
                        shared.begin() + static_cast<std::ptrdiff_t>(p + run), [](char c) { return c != 0; }))
            return p;
    return std::string::npos;
}

// The tails' letters from their poly-A tail's end (the first letter after
// the A run that starts at `from`).
std::vector<std::string_view> after_poly_a(std::vector<std::string_view> const & tails, std::size_t from)
{
    std::vector<std::string_view> after;
    for (std::string_view tail : tails)
    {
        std::size_t p = from;
        while (p < tail.size() && tail[p] == 'A')
            ++p;
        if (p < tail.size())
            after.push_back(tail.substr(p));
    }
    return after;
}

// The adapter at the start of every tail: its first shared letters (at
// most longest_found_adapter), and, when the shared letters end because
// the letters vary, the length of a UMI after which shared letters resume.
void read_adapter(std::vector<std::string_view> const & tails, read_layout & found)
{
    std::string const shared =
        shared_letters(tails, 0, longest_shared_run + longest_umi + shared_after_umi_needed);
    std::size_t run = 0;
    while (run < shared.size() && run < longest_shared_run && shared[run] != 0)
        ++run;
    found.adapter = shared.substr(0, std::min(run, longest_found_adapter));
    if (run == longest_shared_run || run == shared.size())
        return;
    for (std::size_t umi = shortest_umi; umi <= longest_umi; ++umi)
    {
        std::size_t const resumed = run + umi;
        if (resumed + shared_after_umi_needed > shared.size())
            return;
        bool const varies = std::count(shared.begin() + static_cast<std::ptrdiff_t>(run),
                                       shared.begin() + static_cast<std::ptrdiff_t>(resumed), 0) ==
                            static_cast<std::ptrdiff_t>(umi);
        if (!varies)
            return;
        if (shared_run_start(shared.substr(resumed, shared_after_umi_needed), shared_after_umi_needed) == 0)
        {
            found.umi_length = static_cast<uint32_t>(umi);
            return;
        }
    }
}

// What one layout made of each sampled read: for the reads it turns into
// a known miRNA, the insert's place (start and length, plus 1), else 0.
// The adapter and UMI counts are kept only when the trial is `exact`.
struct trial
{
    read_layout layout;
    uint64_t explained = 0;
    uint64_t holding_adapter = 0;
    uint64_t umi_cut_short = 0;  // of those holding the adapter
    std::vector<uint32_t> placements;
};

// The adapter's pieces one of which an alignment of the whole adapter
// within the error rate holds untouched (as many as it may have errors,
// plus one), for a quick test of reads that cannot hold the adapter whole.
struct adapter_pieces
{
    std::vector<std::string> pieces;  // empty: no quick test (wildcards, or too short)
    std::size_t reach = 0;            // letters at the read's end a partial adapter may take, at most
};

adapter_pieces pieces_of(std::string const & adapter)
{
    adapter_pieces result;
    std::size_t const errors = static_cast<std::size_t>(0.1 * static_cast<double>(adapter.size()));
    std::size_t const length = adapter.size() / (errors + 1);
    if (adapter.find('N') != std::string::npos || length < 4)
        return result;
    for (std::size_t i = 0; i <= errors; ++i)
        result.pieces.push_back(adapter.substr(i * length, length));
    result.reach = adapter.size() + errors + 1;
    return result;
}

// True when no layout trims `read` into an insert of at most `max_insert`
// letters: the adapter is not whole in the read, so it could only take
// its end, leaving too long an insert (or take its start: a dimer).
bool insert_surely_too_long(adapter_pieces const & adapter, read_layout const & layout, uint64_t max_insert,
                            std::string_view read)
{
    if (adapter.pieces.empty() || layout.poly_a ||
        read.size() < adapter.reach + layout.cut_5p + layout.cut_3p + max_insert + 1)
        return false;
    for (std::string const & piece : adapter.pieces)
        if (find_before(read, piece) != std::string_view::npos)
            return false;
    return true;
}

// True when `read` from `at` on starts as a known miRNA does.
bool starts_as_known(known_mirnas const & known, std::string_view read, std::size_t at)
{
    bool found = false;
    if (read.size() >= at + known_prefix_length)
        for_each_with_prefix(known, read.substr(at), [&](std::string const &) { found = true; });
    return found;
}

trial try_layout(std::vector<std::string> const & reads, known_mirnas const * known, trim_settings settings,
                 bool exact)
{
    trial result;
    result.layout = settings.layout;
    read_trimmer const trimmer = make_read_trimmer(settings);
    // The insert is judged without its UMI: a UMI cut short is counted apart.
    trim_settings without_umi = settings;
    without_umi.layout.umi_length = 0;
    read_trimmer const insert_trimmer = make_read_trimmer(without_umi);
    adapter_pieces const pieces = exact ? adapter_pieces{} : pieces_of(settings.layout.adapter);
    result.placements.reserve(reads.size());
    for (std::string const & read : reads)
    {
        // Quick tests first: the insert starts at the layout's 5' cut, and
        // must start as a known miRNA does; the adapter must be there to
        // leave an insert short enough.
        if (!exact && (known == nullptr || !starts_as_known(*known, read, settings.layout.cut_5p) ||
                       insert_surely_too_long(pieces, settings.layout, settings.max_insert, read)))
        {
            result.placements.push_back(0);
            continue;
        }
        trimmed_read const trimmed = trim_read(insert_trimmer, read);
        result.holding_adapter += trimmed.fate != read_fate::no_adapter;
        if (exact && settings.layout.umi_length > 0 && trimmed.fate != read_fate::no_adapter &&
            trim_read(trimmer, read).fate == read_fate::umi_too_short)
            ++result.umi_cut_short;
        bool const explained =
            known != nullptr && trimmed.fate == read_fate::kept && is_known_mirna(*known, trimmed.insert);
        result.explained += explained;
        result.placements.push_back(
            explained ? static_cast<uint32_t>((static_cast<std::size_t>(trimmed.insert.data() - read.data()) << 8) +
                                              trimmed.insert.size() + 1)
                      : 0);
    }
    return result;
}

// Whether two trials place the inserts they explain alike.
bool trim_alike(trial const & a, trial const & b)
{
    uint64_t either = 0;
    uint64_t differing = 0;
    for (std::size_t i = 0; i < a.placements.size(); ++i)
    {
        if (a.placements[i] == 0 && b.placements[i] == 0)
            continue;
        ++either;
        differing += a.placements[i] != b.placements[i];
    }
    return static_cast<double>(differing) <= same_trimming_share * static_cast<double>(either);
}

// The candidate layouts: the kits', reads that are inserts, and the one
// read from the letters after known miRNAs when it is no kit's.
std::vector<read_layout> candidate_layouts(std::vector<std::string> const & reads, known_mirnas const & known)
{
    std::vector<read_layout> candidates = kit_layouts();
    read_layout none;
    none.name = "none";
    candidates.push_back(none);
    read_layout found;
    if (!find_layout_after_mirnas(reads, known, found))
        return candidates;
    for (read_layout const & kit : kit_layouts())
    {
        std::size_t const common = std::min(kit.adapter.size(), found.adapter.size());
        if (kit.cut_5p == found.cut_5p && kit.cut_3p == found.cut_3p && kit.poly_a == found.poly_a &&
            kit.umi_length == found.umi_length && kit.adapter.compare(0, common, found.adapter, 0, common) == 0)
            return candidates;
    }
    candidates.push_back(found);
    return candidates;
}

void add_warning(lane_layout & lane, std::string const & warning)
{
    lane.warning += (lane.warning.empty() ? "" : "; ") + warning;
}

// The UMI check of a chosen or given layout: 0, or 1 after setting the
// lane's error.
int check_umi(trial const & chosen, bool molecules_asked, lane_layout & lane)
{
    read_layout const & layout = lane.applied.layout;
    if (layout.umi_length == 0 || !lane.applied.count_molecules || chosen.holding_adapter == 0)
        return 0;
    double const short_share = share_of(chosen.umi_cut_short, chosen.holding_adapter);
    if (short_share <= umi_short_share_warned)
        return 0;
    std::string const what = "in " + percent(short_share) + " of the first " + std::to_string(lane.sampled_reads) +
                             " reads that hold the adapter, fewer than " + std::to_string(layout.umi_length) +
                             " letters follow it: the reads are too short for the " + layout.name + " UMI";
    if (short_share <= umi_short_share_set_aside)
    {
        add_warning(lane, what + "; those reads are not counted (the funnel's 'UMI too short'), give --count "
                                 "reads to count every read");
        return 0;
    }
    if (molecules_asked)
    {
        lane.error = what + "; molecules cannot be counted (--count molecules): give --count reads to count reads";
        return 1;
    }
    add_warning(lane, what + ", so the reads are counted, not molecules");
    lane.umi_set_aside = true;
    lane.applied.layout.umi_length = 0;
    lane.applied.count_molecules = false;
    return 0;
}

// The share of `reads` holding the first letters of `adapter`.
double probe_share(std::vector<std::string> const & reads, std::string const & adapter)
{
    if (reads.empty())
        return 0;
    std::string const probe = adapter.substr(0, probe_length);
    uint64_t holding = 0;
    for (std::string const & read : reads)
        holding += find_before(read, probe) != std::string_view::npos;
    return share_of(holding, reads.size());
}

std::string source_text(lane_layout const & lane)
{
    switch (lane.source)
    {
    case layout_source::inferred: return "told by what maps";
    case layout_source::kit: return "--protocol " + lane.applied.layout.name;
    case layout_source::adapter: return "--adapter";
    case layout_source::none: return "--adapter none";
    }
    return "";
}
}  // namespace

std::string layout_source_name(layout_source source)
{
    switch (source)
    {
    case layout_source::inferred: return "auto";
    case layout_source::kit: return "kit";
    case layout_source::adapter: return "adapter";
    case layout_source::none: return "none";
    }
    return "";
}

known_mirnas make_known_mirnas(std::vector<std::string> const & sequences)
{
    known_mirnas known;
    for (std::string sequence : sequences)
    {
        for (char & letter : sequence)
        {
            letter = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
            if (letter == 'U')
                letter = 'T';
        }
        uint32_t code = 0;
        if (sequence.size() < known_prefix_length || sequence.find_first_not_of("ACGT") != std::string::npos ||
            !prefix_code(sequence, code))
            continue;
        known.by_prefix.emplace_back(code, static_cast<uint32_t>(known.sequences.size()));
        known.sequences.push_back(std::move(sequence));
    }
    std::sort(known.by_prefix.begin(), known.by_prefix.end());
    return known;
}

int32_t read_known_mirnas(std::string const & path, std::vector<std::string> const & codes, known_mirnas & known)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        print_error("cannot open miRNA file '" + path + "' for reading");
        return -1;
    }
    std::vector<fasta_record> records;
    if (read_fasta_records(in, path, "miRNA file", records) != 0)
        return -1;
    std::vector<std::string> sequences;
    for (fasta_record const & record : records)
    {
        std::string const name = record.header.substr(1, record.header.find_first_of(" \t") - 1);
        std::string const code = name.substr(0, name.find('-'));
        if (codes.empty() || std::find(codes.begin(), codes.end(), code) != codes.end())
            sequences.push_back(record.sequence);
    }
    known = make_known_mirnas(sequences);
    return 0;
}

bool is_known_mirna(known_mirnas const & known, std::string_view insert)
{
    bool found = false;
    for_each_with_prefix(known, insert, [&](std::string const & mirna) {
        found = found || (insert.size() + 2 >= mirna.size() && insert.size() <= mirna.size() + 2);
    });
    return found;
}

bool find_layout_after_mirnas(std::vector<std::string> const & reads, known_mirnas const & known,
                              read_layout & found)
{
    // Each read holding a whole known miRNA near its start: where it starts
    // and the letters after it.
    std::vector<std::pair<std::size_t, std::string_view>> anchored;
    std::array<uint64_t, farthest_offset + 1> offsets{};
    for (std::string const & read : reads)
    {
        for (std::size_t at = 0; at <= farthest_offset && at + known_prefix_length <= read.size(); ++at)
        {
            std::size_t const length = mirna_length_at(known, read, at);
            if (length == 0)
                continue;
            anchored.emplace_back(at, std::string_view(read).substr(at + length));
            ++offsets[at];
            break;
        }
        if (anchored.size() == anchored_reads_wanted)
            break;
    }
    if (anchored.size() < least_anchored_reads)
        return false;
    std::size_t const offset = static_cast<std::size_t>(std::max_element(offsets.begin(), offsets.end()) - offsets.begin());
    std::vector<std::string_view> tails;
    for (auto const & [at, tail] : anchored)
        if (at == offset)
            tails.push_back(tail);

    found = read_layout{};
    found.name = "found";
    found.cut_5p = static_cast<uint32_t>(offset);
    std::string const shared = shared_letters(tails, 0, farthest_adapter_start + shared_run_needed);
    std::size_t const start = shared_run_start(shared, shared_run_needed);
    if (start == std::string::npos)
        return false;
    found.cut_3p = static_cast<uint32_t>(start);
    if (shared_run_start(shared.substr(start), poly_a_run_needed) == 0 &&
        shared.compare(start, poly_a_run_needed, std::string(poly_a_run_needed, 'A')) == 0)
    {
        found.poly_a = true;
        read_adapter(after_poly_a(tails, start), found);
    }
    else
    {
        std::vector<std::string_view> from_start;
        for (std::string_view tail : tails)
            if (tail.size() > start)
                from_start.push_back(tail.substr(start));
        read_adapter(from_start, found);
    }
    return found.adapter.size() >= shortest_found_adapter;
}

lane_layout infer_layout(std::vector<std::string> const & reads, known_mirnas const & known,
                         trim_settings const & limits, bool molecules_asked)
{
    lane_layout lane;
    lane.source = layout_source::inferred;
    lane.sampled_reads = reads.size();
    lane.applied = limits;
    lane.applied.layout = read_layout{};
    lane.applied.layout.name = "none";
    if (reads.empty())
        return lane;

    std::vector<trial> trials;
    for (read_layout const & layout : candidate_layouts(reads, known))
    {
        trim_settings settings = limits;
        settings.layout = layout;
        trials.push_back(try_layout(reads, &known, settings, false));
    }
    std::vector<std::size_t> order(trials.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return trials[a].explained > trials[b].explained; });
    for (std::size_t i : order)
        lane.candidates.push_back({trials[i].layout, trials[i].explained});

    // Among the layouts that trim as the best does, the first listed (a kit
    // before one found in the reads) when it explains nearly as many.
    std::size_t best = order.front();
    for (std::size_t i = 0; i < trials.size(); ++i)
        if (trim_alike(trials[i], trials[best]) && 50 * trials[i].explained >= 49 * trials[order.front()].explained)
        {
            best = i;
            break;
        }
    trial const * runner_up = nullptr;
    for (std::size_t i : order)
        if (i != best && !trim_alike(trials[i], trials[best]))
        {
            runner_up = &trials[i];
            break;
        }
    uint64_t const least = std::max<uint64_t>(
        least_explained_reads, static_cast<uint64_t>(least_explained_share * static_cast<double>(reads.size()) + 0.999));
    std::string const settle = "name the layout with --protocol KIT (" + kit_names() +
                               "), --adapter SEQUENCE (with --trim-5p and --trim-3p for random letters), or "
                               "--adapter none for reads that are inserts";
    if (trials[best].explained < least)
    {
        lane.error = "cannot tell the reads' layout: no candidate turns at least " + percent(least_explained_share) +
                     " of the first " + std::to_string(reads.size()) + " reads into known miRNAs (" +
                     candidates_text(lane) + "); check the miRNA file and species, or " + settle;
        return lane;
    }
    if (runner_up != nullptr && clear_margin * runner_up->explained > trials[best].explained)
    {
        lane.error = "cannot tell the reads' layout: " + named_layout_text(trials[best].layout) + " and " +
                     named_layout_text(runner_up->layout) + " both turn many of the first " +
                     std::to_string(reads.size()) + " reads into known miRNAs (" + candidates_text(lane) + "); " +
                     settle;
        return lane;
    }
    lane.applied.layout = trials[best].layout;
    trim_settings chosen = limits;
    chosen.layout = trials[best].layout;
    trial const exact = try_layout(reads, &known, chosen, true);
    lane.explained = exact.explained;
    lane.adapter_share = share_of(exact.holding_adapter, reads.size());
    check_umi(exact, molecules_asked, lane);
    return lane;
}

lane_layout check_given_layout(std::vector<std::string> const & reads, known_mirnas const * known,
                               layout_source source, trim_settings const & applied, bool molecules_asked)
{
    lane_layout lane;
    lane.source = source;
    lane.applied = applied;
    lane.sampled_reads = reads.size();
    if (reads.empty())
        return lane;
    trial const given = try_layout(reads, known, applied, true);
    lane.explained = given.explained;
    lane.adapter_share = share_of(given.holding_adapter, reads.size());
    if (lane.adapter_share < given_adapter_share_needed)
        add_warning(lane, "only " + percent(lane.adapter_share) + " of the first " + std::to_string(reads.size()) +
                              " reads show the 3' adapter " + applied.layout.adapter +
                              " that was asked for; the other reads are counted as 'no adapter'. Check the kit, "
                              "or try --adapter auto");
    // Another layout that turns far more of the reads into known miRNAs.
    if (known != nullptr)
    {
        lane_layout const told = infer_layout(reads, *known, applied, false);
        if (told.error.empty() && !(told.applied.layout == applied.layout) &&
            told.explained >= clear_margin * given.explained + least_explained_reads)
            add_warning(lane, "the reads look like " + named_layout_text(told.applied.layout) + ", which turns " +
                                  percent(share_of(told.explained, reads.size())) + " of the first " +
                                  std::to_string(reads.size()) + " reads into known miRNAs, against " +
                                  percent(share_of(given.explained, reads.size())) +
                                  " for the layout asked for; try --adapter auto");
    }
    check_umi(given, molecules_asked, lane);
    return lane;
}

lane_layout check_untrimmed(std::vector<std::string> const & reads, trim_settings const & applied)
{
    lane_layout lane;
    lane.source = layout_source::none;
    lane.applied = applied;
    lane.applied.layout = read_layout{};
    lane.applied.layout.name = "none";
    lane.sampled_reads = reads.size();
    if (reads.empty())
        return lane;
    std::string const sample = " of the first " + std::to_string(reads.size()) + " reads";
    for (read_layout const & kit : kit_layouts())
    {
        double const share = probe_share(reads, kit.adapter);
        if (share >= 0.2)
        {
            lane.warning = percent(share) + sample + " hold the " + kit.name + " 3' adapter " + kit.adapter +
                           ", but they are counted untrimmed (--adapter none); try --adapter auto";
            return lane;
        }
    }
    uint64_t const long_reads = static_cast<uint64_t>(std::count_if(
        reads.begin(), reads.end(), [](std::string const & read) { return read.size() > longest_mirna; }));
    if (share_of(long_reads, reads.size()) > 0.5)
        lane.warning = percent(share_of(long_reads, reads.size())) + sample +
                       " are longer than 40 letters, but they are counted untrimmed (--adapter none); they may hold "
                       "an adapter: try --adapter auto";
    return lane;
}

std::string candidates_text(lane_layout const & lane)
{
    std::string text;
    for (layout_candidate const & candidate : lane.candidates)
        text += (text.empty() ? "" : ", ") + candidate.layout.name + " " +
                percent(share_of(candidate.explained, lane.sampled_reads));
    return text;
}

std::string lane_layout_text(lane_layout const & lane)
{
    std::string text = lane.applied.layout.name + ": " + layout_text(lane.applied.layout) + " (" + source_text(lane);
    if (lane.sampled_reads == 0)
        return text + "; no reads)";
    std::string const sample = " of the first " + std::to_string(lane.sampled_reads) + " reads";
    if (lane.source == layout_source::inferred)
        text += "; it explains " + percent(share_of(lane.explained, lane.sampled_reads)) + sample + "; tried: " +
                candidates_text(lane);
    else if (lane.source != layout_source::none)
        text += "; the adapter in " + percent(lane.adapter_share) + sample;
    if (lane.umi_set_aside)
        text += "; UMI set aside, reads counted";
    return text + ")";
}
