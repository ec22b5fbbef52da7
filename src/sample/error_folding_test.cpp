#include "sample/error_folding.hpp"

#include <random>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"

namespace
{
tag_vet_t tag_of(std::string const & letters, uint64_t count, bool on_mirna, uint32_t index)
{
    tag_vet_t tag;
    tag.tag_sequence = text_to_rna5(letters);
    tag.tag_count = count;
    tag.tag_index = index;
    if (on_mirna)
        tag.mirna_matched_vet = std::vector<mirna_matched_vet_t>(1);
    return tag;
}

// One substitution, insertion or deletion at a random place; N among the letters.
std::string changed(std::string s, std::mt19937 & random)
{
    char const letters[] = "ACGUN";
    std::size_t const at = random() % (s.size() + 1);
    switch (random() % 3)
    {
    case 0:
        if (at < s.size())
        {
            char letter = s[at];
            while (letter == s[at])
                letter = letters[random() % 5];
            s[at] = letter;
        }
        break;
    case 1:
        s.insert(at, 1, letters[random() % 5]);
        break;
    default:
        if (at < s.size())
            s.erase(at, 1);
    }
    return s;
}

// The tag each tag is an error of, by looking at every pair.
std::unordered_map<uint32_t, uint32_t> folds_by_every_pair(tag_table const & tags)
{
    std::unordered_map<uint32_t, uint32_t> into;
    for (tag_vet_t const & tag : tags.tag_vet)
    {
        if (!tag.mirna_matched_vet.empty())
            continue;
        tag_vet_t const * best = nullptr;
        for (tag_vet_t const & target : tags.tag_vet)
            if (!target.mirna_matched_vet.empty() && target.tag_count >= fold_ratio * tag.tag_count &&
                one_change_apart(tag.tag_sequence, target.tag_sequence) &&
                (best == nullptr || target.tag_count > best->tag_count))
                best = &target;
        if (best != nullptr)
            into.emplace(tag.tag_index, best->tag_index);
    }
    return into;
}
}  // namespace

TEST(ErrorFolding, OneChangeApart)
{
    auto apart = [](char const * a, char const * b) {
        return one_change_apart(text_to_rna5(a), text_to_rna5(b));
    };
    EXPECT_TRUE(apart("ACGUACGU", "ACGAACGU"));    // a substitution
    EXPECT_TRUE(apart("ACGUACGU", "ACGNACGU"));    // an N
    EXPECT_TRUE(apart("ACGUACGU", "ACGUUACGU"));   // an inserted letter
    EXPECT_TRUE(apart("ACGUACGU", "CGUACGU"));     // the first letter dropped
    EXPECT_TRUE(apart("ACGUACGU", "ACGUACG"));     // the last
    EXPECT_FALSE(apart("ACGUACGU", "ACGUACGU"));   // the same
    EXPECT_FALSE(apart("ACGUACGU", "AGGUACGA"));   // two substitutions
    EXPECT_FALSE(apart("ACGUACGU", "ACGUACGUAA")); // two letters more
    EXPECT_FALSE(apart("ACGUACGU", "CGUACGUA"));   // a letter dropped and one added
}

// Random tags and their one- and two-change copies: the keyed search finds
// the tag of most reads each copy is an error of, as looking at every pair
// does; a tag in a class is never folded.
TEST(ErrorFolding, FindsWhatEveryPairFinds)
{
    std::mt19937 random(7);
    tag_table tags;
    uint32_t index = 0;
    std::vector<std::string> targets;
    for (int t = 0; t < 60; ++t)
    {
        std::string letters;
        for (std::size_t i = 0; i < 18 + random() % 8; ++i)
            letters += "ACGU"[random() % 4];
        targets.push_back(letters);
        tags.tag_vet.push_back(tag_of(letters, 1 + random() % 60, true, ++index));
    }
    for (int c = 0; c < 400; ++c)
    {
        std::string letters = changed(targets[random() % targets.size()], random);
        if (c % 4 == 0)
            letters = changed(letters, random);
        bool seen = false;
        for (tag_vet_t const & tag : tags.tag_vet)
            seen = seen || rna5_to_text(tag.tag_sequence) == letters;
        if (!seen)
            tags.tag_vet.push_back(tag_of(letters, 1 + random() % 6, false, ++index));
    }
    // The last tag, an error of the first by its letters and reads, is in a class.
    tags.tag_vet.front().tag_count = 100;
    std::string in_class = targets.front();
    in_class[3] = in_class[3] == 'A' ? 'C' : 'A';
    tags.tag_vet.push_back(tag_of(in_class, 1, false, ++index));
    class_assignment placed;
    placed.by_tag_index[index] = {};
    std::unordered_map<uint32_t, uint32_t> expected = folds_by_every_pair(tags);
    ASSERT_EQ(expected.erase(index), 1u);
    error_folds const folds = find_error_folds(tags, placed, nullptr, {}, 2);
    ASSERT_GT(expected.size(), 100u);
    ASSERT_EQ(folds.into.size(), expected.size());
    for (auto const & [from, to] : expected)
    {
        ASSERT_EQ(folds.into.count(from), 1u) << from;
        // On a tie of reads the first tag wins; the pairs above take the first too.
        EXPECT_EQ(folds.into.at(from), to) << from;
    }
}
