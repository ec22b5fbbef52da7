#include "reads/umi_clustering.hpp"

#include <algorithm>
#include <deque>
#include <string>
#include <unordered_map>

namespace
{
// The letters that occur in any of the UMIs: a substitution into another
// letter cannot reach a UMI that is there.
std::string letters_used(std::vector<umi_count> const & umis)
{
    bool seen[256] = {};
    for (umi_count const & umi : umis)
        for (char letter : umi.umi)
            seen[static_cast<unsigned char>(letter)] = true;
    std::string letters;
    for (int letter = 0; letter < 256; ++letter)
        if (seen[letter])
            letters += static_cast<char>(letter);
    return letters;
}
}  // namespace

uint64_t directional_molecules(std::vector<umi_count> umis)
{
    std::sort(umis.begin(), umis.end(), [](umi_count const & a, umi_count const & b) {
        return a.reads != b.reads ? a.reads > b.reads : a.umi < b.umi;
    });
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(umis.size() * 2);
    for (std::size_t i = 0; i < umis.size(); ++i)
        index.emplace(umis[i].umi, i);
    std::string const letters = letters_used(umis);

    std::vector<bool> clustered(umis.size(), false);
    std::deque<std::size_t> queue;
    std::string variant;
    uint64_t molecules = 0;
    for (std::size_t start = 0; start < umis.size(); ++start)
    {
        if (clustered[start])
            continue;
        ++molecules;
        clustered[start] = true;
        queue.push_back(start);
        while (!queue.empty())
        {
            std::size_t const from = queue.front();
            queue.pop_front();
            variant.assign(umis[from].umi);
            for (std::size_t position = 0; position < variant.size(); ++position)
            {
                char const own = variant[position];
                for (char letter : letters)
                {
                    if (letter == own)
                        continue;
                    variant[position] = letter;
                    auto const found = index.find(variant);
                    if (found != index.end() && !clustered[found->second] &&
                        umis[from].reads + 1 >= 2 * umis[found->second].reads)
                    {
                        clustered[found->second] = true;
                        queue.push_back(found->second);
                    }
                }
                variant[position] = own;
            }
        }
    }
    return molecules;
}
