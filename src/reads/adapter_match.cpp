// One column of the dynamic-programming matrix is kept (the adapter down,
// the read across), cut off below the last cell within the error limit.
#include "reads/adapter_match.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{
constexpr int32_t match_score = 1;
constexpr int32_t mismatch_score = -1;
constexpr int32_t indel_score = -2;
constexpr int32_t indel_cost = 1;

struct cell
{
    int32_t cost = 0;
    int32_t score = 0;
    int32_t origin = 0;  // where the alignment starts: >= 0 a read position, < 0 minus an adapter position
};

uint8_t base_code(char letter)
{
    switch (letter)
    {
    case 'A': return 1;
    case 'C': return 2;
    case 'G': return 4;
    case 'T':
    case 'U': return 8;
    default: return 0x80;
    }
}

// The N letters of adapter[0, end).
int32_t wildcards_before(std::string const & letters, std::size_t end)
{
    return static_cast<int32_t>(std::count(letters.begin(), letters.begin() + static_cast<std::ptrdiff_t>(end), 'N'));
}

// The length of the aligned adapter part that counts for the error rate
// (its N letters do not).
int32_t effective_length(adapter_pattern const & adapter, int32_t adapter_start, int32_t adapter_stop)
{
    if (adapter.codes.empty())
        return adapter_stop - adapter_start;
    return adapter_stop - adapter_start -
           (wildcards_before(adapter.letters, static_cast<std::size_t>(adapter_stop)) -
            wildcards_before(adapter.letters, static_cast<std::size_t>(adapter_start)));
}
// With the whole adapter exactly in the read, first at `start`, the scan
// below stops there with that match, unless it first kept an alignment of
// the whole adapter with errors that starts more than m/2 letters earlier
// (the exact match would then not replace it). With k errors, such an
// alignment holds one of k + 1 disjoint pieces of the adapter untouched,
// at most k letters from its place, hence before that piece's place in the
// exact occurrence. So when no piece occurs before its place there, the
// exact occurrence is the answer.
bool exact_match_is_best(std::string_view adapter, std::string_view read, std::size_t start, int32_t k)
{
    std::size_t const m = adapter.size();
    std::size_t const piece_length = m / static_cast<std::size_t>(k + 1);
    if (piece_length == 0 || static_cast<std::size_t>(k) > m / 2)
        return false;
    for (std::size_t offset = 0; offset + piece_length <= m; offset += piece_length)
        if (find_before(read, adapter.substr(offset, piece_length), start + offset) != std::string_view::npos)
            return false;
    return true;
}
}  // namespace

adapter_pattern make_adapter_pattern(std::string const & letters, double max_error_rate, int32_t min_overlap)
{
    adapter_pattern adapter;
    adapter.letters = letters;
    adapter.max_error_rate = max_error_rate;
    adapter.min_overlap = std::min<int32_t>(min_overlap, static_cast<int32_t>(letters.size()));
    if (letters.find_first_not_of("ACGT") != std::string::npos)
        for (char letter : letters)
            adapter.codes += static_cast<char>(letter == 'N' ? 0x8F : base_code(letter));
    return adapter;
}

adapter_match find_adapter(adapter_pattern const & adapter, std::string_view read)
{
    int32_t const m = static_cast<int32_t>(adapter.letters.size());
    int32_t const n = static_cast<int32_t>(read.size());
    bool const wildcards = !adapter.codes.empty();
    // The column's read letter is looked up once (the column's stores may
    // alias the letters otherwise).
    char const * const letters = adapter.letters.data();
    char const * const codes = adapter.codes.data();
    auto const acceptable = [&](int32_t length, int32_t adapter_start, int32_t adapter_stop, int32_t cost) {
        return length >= adapter.min_overlap &&
               cost <= effective_length(adapter, adapter_start, adapter_stop) * adapter.max_error_rate;
    };

    int32_t const k = static_cast<int32_t>(adapter.max_error_rate * m);
    if (!wildcards && m >= adapter.min_overlap)
    {
        std::size_t const start = find_before(read, adapter.letters, read.size());
        if (start != std::string_view::npos && exact_match_is_best(adapter.letters, read, start, k))
        {
            adapter_match match;
            match.found = true;
            match.read_start = static_cast<int32_t>(start);
            match.read_stop = static_cast<int32_t>(start) + m;
            match.adapter_start = 0;
            match.adapter_stop = m;
            match.errors = 0;
            match.score = m * match_score;
            return match;
        }
    }
    // Adapters are short: their column is on the stack.
    cell short_column[64];
    std::vector<cell> long_column(m < 64 ? 0 : static_cast<std::size_t>(m) + 1);
    cell * const column = m < 64 ? short_column : long_column.data();
    for (int32_t i = 0; i <= m; ++i)
        column[i] = {i * indel_cost, 0, 0};

    int32_t const unset = m + n + 1;
    cell best{unset, 0, 0};
    int32_t best_adapter_stop = m;
    int32_t best_read_stop = n;
    int32_t last = std::min(m, k + 1);
    int32_t last_filled = 0;
    // As in the column scan below, the origin compared with the best one's
    // is the one last computed.
    int32_t origin = 0;
    auto const better = [&](int32_t length, int32_t score) {
        int32_t const best_length = best_adapter_stop + std::min(best.origin, 0);
        return best.cost == unset || (origin <= best.origin + m / 2 && score > best.score) ||
               (length > best_length && score > best.score);
    };

    for (int32_t j = 1; j <= n; ++j)
    {
        cell diagonal = column[0];
        column[0].origin = j;
        char const read_letter = read[static_cast<std::size_t>(j - 1)];
        uint8_t const read_code = base_code(read_letter);
        for (int32_t i = 1; i <= last; ++i)
        {
            cell next;
            bool const equal = wildcards ? (static_cast<uint8_t>(codes[i - 1]) & read_code) != 0
                                         : letters[i - 1] == read_letter;
            if (equal)
            {
                next = {diagonal.cost, diagonal.score + match_score, diagonal.origin};
            }
            else
            {
                int32_t const cost_diagonal = diagonal.cost + 1;
                int32_t const cost_deletion = column[i].cost + indel_cost;
                int32_t const cost_insertion = column[i - 1].cost + indel_cost;
                if (cost_diagonal <= cost_deletion && cost_diagonal <= cost_insertion)
                    next = {cost_diagonal, diagonal.score + mismatch_score, diagonal.origin};
                else if (cost_insertion <= cost_deletion)
                    next = {cost_insertion, column[i - 1].score + indel_score,
                            column[i - 1].origin};
                else
                    next = {cost_deletion, column[i].score + indel_score,
                            column[i].origin};
            }
            origin = next.origin;
            diagonal = column[i];
            column[i] = next;
        }
        last_filled = last;
        while (last >= 0 && column[last].cost > k)
            --last;
        if (last < m)
        {
            ++last;
            continue;
        }
        // The whole adapter is aligned, ending at read position j.
        cell const & end = column[m];
        origin = end.origin;
        int32_t const length = m + std::min(origin, 0);
        if (acceptable(length, m - length, m, end.cost) && better(length, end.score))
        {
            best = end;
            best_adapter_stop = m;
            best_read_stop = j;
            if (end.cost == 0 && end.origin >= 0)
                break;  // an exact whole match
        }
    }

    // The adapter runs past the read's end: the last column.
    for (int32_t i = last_filled; i >= 0; --i)
    {
        cell const & end = column[i];
        int32_t const length = i + std::min(end.origin, 0);
        if (acceptable(length, -std::min(end.origin, 0), i, end.cost) && better(length, end.score))
        {
            best = {end.cost, end.score, end.origin};
            best_adapter_stop = i;
            best_read_stop = n;
        }
    }

    adapter_match match;
    if (best.cost == unset)
        return match;
    match.found = true;
    match.read_start = std::max(best.origin, 0);
    match.adapter_start = std::max(-best.origin, 0);
    match.read_stop = best_read_stop;
    match.adapter_stop = best_adapter_stop;
    match.errors = best.cost;
    match.score = best.score;
    return match;
}

// Positions are screened for the pattern's first two letters, sixteen at a
// time where SSE2 is there; the few that pass are compared letter by letter.
std::size_t find_before(std::string_view text, std::string_view pattern, std::size_t limit)
{
    if (pattern.size() > text.size())
        return std::string_view::npos;
    std::size_t const positions = std::min(limit, text.size() - pattern.size() + 1);
    auto const matches_at = [&](std::size_t at) {
        for (std::size_t q = 0; q < pattern.size(); ++q)
            if (text[at + q] != pattern[q])
                return false;
        return true;
    };
    std::size_t i = 0;
#ifdef __SSE2__
    if (pattern.size() >= 2)
    {
        __m128i const first = _mm_set1_epi8(pattern[0]);
        __m128i const second = _mm_set1_epi8(pattern[1]);
        for (; i < positions && i + 17 <= text.size(); i += 16)
        {
            __m128i const here = _mm_loadu_si128(reinterpret_cast<__m128i const *>(text.data() + i));
            __m128i const next = _mm_loadu_si128(reinterpret_cast<__m128i const *>(text.data() + i + 1));
            auto candidates = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second))));
            if (positions - i < 16)
                candidates &= (1u << (positions - i)) - 1;
            for (; candidates != 0; candidates &= candidates - 1)
            {
                std::size_t const at = i + static_cast<std::size_t>(__builtin_ctz(candidates));
                if (matches_at(at))
                    return at;
            }
        }
    }
#endif
    for (; i < positions; ++i)
        if (text[i] == pattern[0] && matches_at(i))
            return i;
    return std::string_view::npos;
}
