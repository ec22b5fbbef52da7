#include "rna_classes/class_reference.hpp"

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"
#include "core/test_support.hpp"

namespace
{
struct opened
{
    int32_t status = 0;
    class_reference ref;
    std::string log;
    std::string errors;
};

opened open_reference(std::string const & fasta, std::string const & index_dir = "", std::string const & name = "rRNA")
{
    opened result;
    std::ostringstream log;
    testing::internal::CaptureStderr();
    result.status = open_class_reference(name, fasta, index_dir, result.ref, log);
    result.errors = testing::internal::GetCapturedStderr();
    result.log = log.str();
    return result;
}

// A tag from letters A C G U N (T read as U).
tag_letters tag(std::string letters)
{
    std::replace(letters.begin(), letters.end(), 'T', 'U');
    return tag_letters(text_to_rna5(letters));
}

std::string fasta_text(std::vector<std::pair<std::string, std::string>> const & records)
{
    std::string text;
    for (auto const & record : records)
        text += ">" + record.first + " some description\n" + record.second + "\n";
    return text;
}

bool is_folder(std::string const & path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The best place of `tag` (letters A C G T N) in `records` (letters A C G T
// N) by looking at every start in every record: fewest substitutions (N a
// substitution), first record, first position.
class_match brute_force(std::vector<std::string> const & records, std::string const & tag, uint32_t limit)
{
    class_match best;
    if (tag.empty())
        return best;
    for (uint32_t r = 0; r < records.size(); ++r)
        for (std::size_t p = 0; p + tag.size() <= records[r].size(); ++p)
        {
            uint32_t subs = 0;
            for (std::size_t i = 0; i < tag.size(); ++i)
                subs += tag[i] == 'N' || records[r][p + i] == 'N' || tag[i] != records[r][p + i];
            if (subs <= limit && (!best.found || subs < best.substitutions))
                best = class_match{true, subs, r, uint32_t(p)};
        }
    return best;
}

std::string match_text(class_match const & m)
{
    if (!m.found)
        return "none";
    return std::to_string(m.substitutions) + " subs, record " + std::to_string(m.record) + " at " +
           std::to_string(m.position);
}

std::string random_letters(std::mt19937 & rng, std::size_t length, char const * alphabet = "ACGT")
{
    std::string letters;
    std::size_t const size = std::strlen(alphabet);
    for (std::size_t i = 0; i < length; ++i)
        letters += alphabet[rng() % size];
    return letters;
}

// Random records of 0 to 300 letters with a few N, some holding copies of
// stretches of earlier ones (so that several records hold a tag equally
// well), some shorter than any tag.
std::vector<std::string> random_records(std::mt19937 & rng, std::size_t count)
{
    std::vector<std::string> records;
    for (std::size_t r = 0; r < count; ++r)
    {
        std::string record = random_letters(rng, rng() % 301);
        for (char & c : record)
            if (rng() % 60 == 0)
                c = 'N';
        if (r > 0 && rng() % 3 == 0)
        {
            std::string const & earlier = records[rng() % r];
            if (earlier.size() > 30)
            {
                std::size_t const from = rng() % (earlier.size() - 30);
                record.insert(rng() % (record.size() + 1), earlier.substr(from, 20 + rng() % 11));
            }
        }
        records.push_back(record);
    }
    return records;
}

// Tags of 15 to 30 letters: from inside records, at their ends, across two
// neighbouring records, with up to three substitutions, with N, and random.
std::vector<std::string> random_tags(std::mt19937 & rng, std::vector<std::string> const & records, std::size_t count)
{
    std::vector<std::string> tags;
    std::string joined;
    for (std::string const & record : records)
        joined += record;
    while (tags.size() < count)
    {
        std::size_t const length = 15 + rng() % 16;
        std::string letters;
        std::string const & record = records[rng() % records.size()];
        switch (rng() % 5)
        {
            case 0:  // random
                letters = random_letters(rng, length);
                break;
            case 1:  // across the joint of two records, or anywhere in the joined text
                if (joined.size() <= length)
                    continue;
                letters = joined.substr(rng() % (joined.size() - length), length);
                break;
            case 2:  // at a record's start or end
                if (record.size() < length)
                    continue;
                letters = rng() % 2 ? record.substr(0, length) : record.substr(record.size() - length);
                break;
            default:  // inside a record
                if (record.size() < length)
                    continue;
                letters = record.substr(rng() % (record.size() - length + 1), length);
        }
        for (uint32_t changes = rng() % 4; changes > 0; --changes)
            letters[rng() % length] = "ACGTN"[rng() % 5];
        tags.push_back(letters);
    }
    return tags;
}
}  // namespace

// find_in_class gives what a scan of every start of every record gives: the
// fewest substitutions, the first record and position among the best, no
// stretch across two records, N a substitution on either side, for 0 to 3
// substitutions; the many-tag search gives the same on any thread count.
TEST(ClassReference, FindsWhatAScanOfEveryRecordFinds)
{
    scratch_dir dir;
    std::mt19937 rng(20261208);
    for (int reference = 0; reference < 4; ++reference)
    {
        std::vector<std::string> const records = random_records(rng, 5 + rng() % 40);
        std::vector<std::pair<std::string, std::string>> named;
        for (std::size_t r = 0; r < records.size(); ++r)
        {
            // Lowercase, U for T, line breaks and IUPAC codes read as the letters they stand for.
            std::string written = records[r];
            for (char & c : written)
                c = c == 'T' && rng() % 2 ? 'U' : c == 'N' && rng() % 2 ? "RYKM"[rng() % 4] : c;
            if (rng() % 2)
                for (char & c : written)
                    c = char(std::tolower(c));
            if (written.size() > 60)
                written.insert(60, "\n");
            named.emplace_back("r" + std::to_string(r), written);
        }
        std::string const fasta = dir.file("ref" + std::to_string(reference) + ".fa");
        write_file(fasta, fasta_text(named));
        opened const o = open_reference(fasta);
        ASSERT_EQ(o.status, 0) << o.errors;
        ASSERT_EQ(o.ref.record_names.size(), records.size());
        EXPECT_EQ(o.ref.record_names.back(), "r" + std::to_string(records.size() - 1));

        std::vector<std::string> const tags = random_tags(rng, records, 150);
        std::vector<tag_letters> tag_list;
        for (std::string const & t : tags)
            tag_list.push_back(tag(t));
        for (uint32_t limit = 0; limit <= 3; ++limit)
        {
            std::vector<class_match> const one_thread = find_all_in_class(o.ref, tag_list, limit, 1);
            std::vector<class_match> const three_threads = find_all_in_class(o.ref, tag_list, limit, 3);
            for (std::size_t i = 0; i < tags.size(); ++i)
            {
                SCOPED_TRACE("reference " + std::to_string(reference) + ", tag " + tags[i] + ", limit " +
                             std::to_string(limit));
                std::string const expected = match_text(brute_force(records, tags[i], limit));
                EXPECT_EQ(match_text(find_in_class(o.ref, tag_list[i], limit)), expected);
                EXPECT_EQ(match_text(one_thread[i]), expected);
                EXPECT_EQ(match_text(three_threads[i]), expected);
            }
        }
    }
}

// The hand-made cases the random ones may miss.
TEST(ClassReference, EdgesOfRecordsNAndTies)
{
    scratch_dir dir;
    std::string const fasta = dir.file("trna.fa");
    write_file(fasta, fasta_text({{"short", "ACGT"},
                                  {"first", "TTTTACGTACGTACGTACGTAAAA"},
                                  {"second", "GGGGACGTACGTACGTACGTCCCC"},
                                  {"withN", "CCCCCCGATTACANGATTACACCCCCC"},
                                  {"empty", ""},
                                  {"last", "GATTACAGATTACAGATTACA"}}));
    opened const o = open_reference(fasta);
    ASSERT_EQ(o.status, 0) << o.errors;
    EXPECT_EQ(o.ref.record_names,
              (std::vector<std::string>{"short", "first", "second", "withN", "empty", "last"}));

    struct search_case
    {
        char const * tag;
        uint32_t limit;
        char const * expected;
    };
    search_case const cases[] = {
        // in two records equally: the first in file order
        {"ACGTACGTACGTACGT", 0, "0 subs, record 1 at 4"},
        // exact in the second record beats one substitution in the first
        {"GGACGTACGTACGTACGTCC", 1, "0 subs, record 2 at 2"},
        // the whole of a record, at its start and at its end
        {"TTTTACGTACGTACGTACGTAAAA", 0, "0 subs, record 1 at 0"},
        {"GATTACAGATTACAGATTACA", 0, "0 subs, record 5 at 0"},
        // longer than its record by one letter, or across the end of one record
        // and the start of the next: no match
        {"ACGTACGTACGTACGTAAAAG", 1, "none"},
        {"CGTCCCCCCCCCCGATTA", 1, "none"},
        // an N of the reference is a substitution, also against N
        {"GATTACANGATTACA", 0, "none"},
        {"GATTACANGATTACA", 1, "1 subs, record 3 at 6"},
        {"GATTACAAGATTACA", 1, "1 subs, record 3 at 6"},
        // an N of the tag too
        {"GATTACAGATTNCA", 1, "1 subs, record 5 at 0"},
        {"NNNTACAGATTACAG", 2, "none"},
        // longer than the whole reference, and empty
        {"ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACG"
         "TACGTACGTACGTACGTACGTACGTACGTACGTACG", 4, "none"},
        {"", 1, "none"},
    };
    for (search_case const & c : cases)
        EXPECT_EQ(match_text(find_in_class(o.ref, tag(c.tag), c.limit)), c.expected) << c.tag << " " << c.limit;
    EXPECT_TRUE(find_in_class(o.ref, tag("ACGTACGTACGTACGT"), 1).exact());
    EXPECT_FALSE(find_in_class(o.ref, tag("GATTACAAGATTACA"), 1).exact());

    // Classes searched in order: a tag goes to the first that holds it.
    std::string const other = dir.file("other.fa");
    write_file(other, fasta_text({{"o1", "CCCCCCCCCCCCCCCCCCCCCCCCC"}, {"o2", "GGACGTACGTACGTACGTCC"}}));
    opened const second = open_reference(other, "", "other");
    ASSERT_EQ(second.status, 0) << second.errors;
    std::vector<class_placement> const placed =
        place_in_classes({second.ref, o.ref}, {tag("GGACGTACGTACGTACGTCC"), tag("GATTACAGATTACAGATT"),
                                               tag("CCCCCCCCCCCCCCCCCCCCCC"), tag("ATATATATATATATATATAT")},
                         1, 2);
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[0].class_number, 0);
    EXPECT_EQ(placed[0].match.record, 1u);
    EXPECT_EQ(placed[1].class_number, 1);
    EXPECT_EQ(placed[1].match.record, 5u);
    EXPECT_EQ(placed[2].class_number, 0);
    EXPECT_EQ(placed[3].class_number, -1);
}

// The index is saved beside the FASTA and loaded by the next run; a FASTA
// changed since makes it rebuilt; a damaged index is rebuilt with a
// warning; every build leaves one folder, no temporary one, and removes
// those of builds that were killed.
TEST(ClassReference, IndexReusedRebuiltWhenStaleOrDamaged)
{
    scratch_dir dir;
    std::string const fasta = dir.file("rrna.fa");
    write_file(fasta, fasta_text({{"a", "ACGTTGCAACGTAGCTAGCTAGGATCGATCGTACG"}, {"b", "TTGACCAGTAGGCATCGAT"}}));
    std::string const folder = fasta + ".mirsight-index";
    // What a build killed before its end leaves (process 4194305 cannot
    // exist: Linux's process ids stop at 4194304): removed by the next build.
    std::string const abandoned = folder + ".tmp-4194305-a1b2c3";
    ASSERT_EQ(mkdir(abandoned.c_str(), 0755), 0);
    write_file(abandoned + "/fwd.lf.drv", "part of an index");

    opened const built = open_reference(fasta);
    ASSERT_EQ(built.status, 0) << built.errors;
    EXPECT_EQ(built.errors, "");
    EXPECT_NE(built.log.find("built and saved in '" + folder + "'"), std::string::npos) << built.log;
    EXPECT_EQ(built.ref.index_folder, folder);
    EXPECT_TRUE(is_folder(folder));
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"rrna.fa", "rrna.fa.mirsight-index"}));

    opened const loaded = open_reference(fasta);
    ASSERT_EQ(loaded.status, 0) << loaded.errors;
    EXPECT_NE(loaded.log.find("loaded from '" + folder + "'"), std::string::npos) << loaded.log;
    EXPECT_EQ(index_id(loaded.ref), index_id(built.ref));
    EXPECT_EQ(match_text(find_in_class(loaded.ref, tag("GTAGGCATCGAT"), 0)), "0 subs, record 1 at 7");

    // The FASTA changed: the index is made again from the new letters.
    write_file(fasta, fasta_text({{"a", "ACGTTGCAACGTAGCTAGCTAGGATCGATCGTACG"}, {"b", "TTGACCAGTAGGCTTCGAT"}}));
    opened const stale = open_reference(fasta);
    ASSERT_EQ(stale.status, 0) << stale.errors;
    EXPECT_EQ(stale.errors, "");
    EXPECT_NE(stale.log.find("rebuilt (the FASTA or the index format changed) and saved"), std::string::npos)
        << stale.log;
    EXPECT_NE(index_id(stale.ref), index_id(built.ref));
    EXPECT_EQ(match_text(find_in_class(stale.ref, tag("GTAGGCATCGAT"), 0)), "none");
    EXPECT_EQ(match_text(find_in_class(stale.ref, tag("GTAGGCTTCGAT"), 0)), "0 subs, record 1 at 7");
    EXPECT_NE(open_reference(fasta).log.find("loaded from"), std::string::npos);

    // A file of the index cut short, or its manifest gone (as a writer killed
    // before the end would leave it): rebuilt with a warning, then loaded.
    for (std::string const damaged : {"fwd.sa.val", "manifest.txt"})
    {
        SCOPED_TRACE(damaged);
        std::string const content = read_file(folder + "/" + damaged);
        ASSERT_FALSE(content.empty());
        if (damaged == "manifest.txt")
            std::remove((folder + "/" + damaged).c_str());
        else
            write_file(folder + "/" + damaged, content.substr(0, content.size() / 2));
        opened const rebuilt = open_reference(fasta);
        ASSERT_EQ(rebuilt.status, 0) << rebuilt.errors;
        EXPECT_NE(rebuilt.errors.find("warning: the index '" + folder + "' of class 'rRNA' is damaged"),
                  std::string::npos)
            << rebuilt.errors;
        EXPECT_NE(rebuilt.log.find("rebuilt and saved"), std::string::npos) << rebuilt.log;
        EXPECT_EQ(match_text(find_in_class(rebuilt.ref, tag("GTAGGCTTCGAT"), 0)), "0 subs, record 1 at 7");
        opened const again = open_reference(fasta);
        EXPECT_EQ(again.errors, "");
        EXPECT_NE(again.log.find("loaded from"), std::string::npos) << again.log;
    }
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"rrna.fa", "rrna.fa.mirsight-index"}));
}

// An index place given, or one that cannot be written: the index is built
// in memory with a warning, and the search works all the same.
TEST(ClassReference, IndexFolderGivenOrUnwritable)
{
    scratch_dir dir;
    std::string const fasta = dir.file("yrna.fa");
    write_file(fasta, fasta_text({{"y1", "GGCTGGTCCGAAGGTAGTGAGTTATCTCAATTGATTGTTCACAGTCAGTTACAGATCGAACTCCTTGTTCTA"}}));
    ASSERT_EQ(mkdir(dir.file("indexes").c_str(), 0755), 0);
    opened const given = open_reference(fasta, dir.file("indexes"), "YRNA");
    ASSERT_EQ(given.status, 0) << given.errors;
    EXPECT_EQ(given.ref.index_folder, dir.file("indexes/yrna.fa.mirsight-index"));
    EXPECT_TRUE(is_folder(dir.file("indexes/yrna.fa.mirsight-index")));
    EXPECT_FALSE(is_folder(fasta + ".mirsight-index"));

    // A file where the folder should be (root may write anywhere else).
    write_file(dir.file("not_a_folder"), "");
    opened const memory = open_reference(fasta, dir.file("not_a_folder"), "YRNA");
    ASSERT_EQ(memory.status, 0) << memory.errors;
    EXPECT_NE(memory.errors.find("warning: the index of class 'YRNA' is not saved (cannot make a folder in '" +
                                 dir.file("not_a_folder") + "'"),
              std::string::npos)
        << memory.errors;
    EXPECT_NE(memory.log.find("built in memory"), std::string::npos) << memory.log;
    EXPECT_EQ(memory.ref.index_folder, "");
    EXPECT_EQ(match_text(find_in_class(memory.ref, tag("GTTCACAGTCAGTTACAGAT"), 1)), "0 subs, record 0 at 36");
}

// A write of the index that fails (here past the file size limit, as on a
// full disk): nothing is saved that a later run would load, and the index
// serves this run from memory.
TEST(ClassReference, IndexWriteThatFailsSavesNothing)
{
    scratch_dir dir;
    std::string const fasta = dir.file("pirna.fa");
    std::mt19937 rng(7);
    write_file(fasta, fasta_text({{"p1", random_letters(rng, 20000)}, {"p2", "GATTACAGATTACAGATTACA"}}));
    struct rlimit const before = [] {
        struct rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        return limit;
    }();
    struct rlimit small = before;
    small.rlim_cur = 4096;  // the FASTA is read, the index files (over 5,000 bytes each) cannot be written
    auto const old_handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    opened const o = open_reference(fasta, "", "piRNA");
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, old_handler);
    ASSERT_EQ(o.status, 0) << o.errors;
    EXPECT_NE(o.errors.find("warning: the index of class 'piRNA' is not saved (cannot write the index files"),
              std::string::npos)
        << o.errors;
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"pirna.fa"}));
    EXPECT_EQ(match_text(find_in_class(o.ref, tag("GATTACAGATTACAGATTACA"), 1)), "0 subs, record 1 at 0");
}

// A FASTA that is not one: an error naming the file (and line).
TEST(ClassReference, FastaErrorsNameTheFile)
{
    scratch_dir dir;
    struct bad_case
    {
        char const * content;
        char const * message;  // after the path
    };
    bad_case const cases[] = {
        {"ACGT\n>r1\nACGT\n", ":1: text before the first FASTA header"},
        {"\n\n>r1\nACGT\nACGU\n> \nACGT\n", ":6: a FASTA header without a name"},
        {"", "' holds no FASTA record"},
        {"\n  \n", "' holds no FASTA record"},
    };
    for (bad_case const & c : cases)
    {
        std::string const fasta = dir.file("bad.fa");
        write_file(fasta, c.content);
        opened const o = open_reference(fasta);
        EXPECT_EQ(o.status, -1) << c.content;
        EXPECT_NE(o.errors.find(fasta + c.message), std::string::npos) << o.errors;
        EXPECT_FALSE(is_folder(fasta + ".mirsight-index"));
    }
    opened const missing = open_reference(dir.file("missing.fa"));
    EXPECT_EQ(missing.status, -1);
    EXPECT_NE(missing.errors.find("cannot open the reference FASTA of class 'rRNA' '" + dir.file("missing.fa")),
              std::string::npos)
        << missing.errors;

    // Records without letters only: nothing matches, and that is no error.
    std::string const empty_records = dir.file("headers.fa");
    write_file(empty_records, ">a\n>b\n");
    opened const o = open_reference(empty_records);
    ASSERT_EQ(o.status, 0) << o.errors;
    EXPECT_EQ(o.ref.record_names.size(), 2u);
    EXPECT_FALSE(find_in_class(o.ref, tag("ACGT"), 1).found);
    EXPECT_NE(open_reference(empty_records).log.find("loaded from"), std::string::npos);
}
