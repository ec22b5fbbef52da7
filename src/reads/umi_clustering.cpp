#include "reads/umi_clustering.hpp"

#include <algorithm>
#include <cstdint>
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

std::vector<uint32_t> directional_clusters(std::vector<umi_count> const & umis)
{
    // Most reads first, then the UMI's letters.
    std::vector<std::size_t> order(umis.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return umis[a].reads != umis[b].reads ? umis[a].reads > umis[b].reads : umis[a].umi < umis[b].umi;
    });
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(umis.size() * 2);
    for (std::size_t i = 0; i < umis.size(); ++i)
        index.emplace(umis[i].umi, i);
    std::string const letters = letters_used(umis);

    uint32_t const unclustered = UINT32_MAX;
    std::vector<uint32_t> cluster(umis.size(), unclustered);
    std::deque<std::size_t> queue;
    std::string variant;
    uint32_t clusters = 0;
    for (std::size_t start : order)
    {
        if (cluster[start] != unclustered)
            continue;
        cluster[start] = clusters;
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
                    if (found != index.end() && cluster[found->second] == unclustered &&
                        umis[from].reads + 1 >= 2 * umis[found->second].reads)
                    {
                        cluster[found->second] = clusters;
                        queue.push_back(found->second);
                    }
                }
                variant[position] = own;
            }
        }
        ++clusters;
    }
    return cluster;
}

uint64_t directional_molecules(std::vector<umi_count> const & umis)
{
    std::vector<uint32_t> const cluster = directional_clusters(umis);
    return cluster.empty() ? 0 : uint64_t{*std::max_element(cluster.begin(), cluster.end())} + 1;
}
