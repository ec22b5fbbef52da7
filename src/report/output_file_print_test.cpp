#include "report/output_file_print.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/test_support.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/report_test_data.hpp"

namespace
{
std::string const suffixes[] = {
    "_unique.txt", "_ambigue.txt", "_tag_unique.txt", "_tag_ambigue.txt", "_tag_ambigue_selected.txt",
    "_unique_ambigue_selected.txt", "_ambigue_ambigue_selected.txt",
};

std::string const norm_header =
    "mirna_index\t#different_tags\t#count_tags\tnorm_expressed_all\tnorm_expressed_mapped\t#mirna_exact_tags"
    "\t#iso_5p_tags\t#iso_snp_tags\t#iso_multi_snp_tags\t#iso_3p_tags\t#offset_site_tags"
    "\t#suppl_compens_site_tags\t#central_site_tags\tseed_index\tmirna_seq\tmirna_info\n";
std::string const no_norm_header =
    "mirna_index\t#different_tags\t#count_tags\tNO-norm_expressed_all\tNO-norm_expressed_mapped"
    "\t#mirna_exact_tags\t#iso_5p_tags\t#iso_snp_tags\t#iso_multi_snp_tags\t#iso_3p_tags\t#offset_site_tags"
    "\t#suppl_compens_site_tags\t#central_site_tags\tseed_index\tmirna_seq\tmirna_info\n";
std::string const tag_unique_header =
    "tag_index\ttag_sequence\ttag_quality\t#count_tags\tmirna_id\tmirna_name\tmirna_seq\tseed_index"
    "\tbegin_ungapped_mirna\tbegin_ungapped_tag\tsize_ungapped\tsize_ungapped_1\tsize_ungapped_2"
    "\talign_score\tmir_tag_size_diff\tmirna_exact\tiso_5p\tiso_snp\tiso_multi_snp\tiso_3p\toffset_site"
    "\tsuppl_compens_site\tcentral_site\n";
std::string const tag_ambigue_header =
    "tag_index\ttag_sequence\ttag_quality\t#count_tags\tmirna_id\tmirna_name\tmirna_seq"
    "\tbegin_ungapped_mirna\tbegin_ungapped_tag\tsize_ungapped\tsize_ungapped_1\tsize_ungapped_2"
    "\talign_score\tmir_tag_size_diff\n";
std::string const selected_header =
    "tag_index\ttag_sequence\ttag_quality\t#count_tags\tmirna_id\tmirna_name\tmirna_seq\tseed_index"
    "\tbegin_ungapped_mirna\tbegin_ungapped_tag\tsize_ungapped\tsize_ungapped_1\tsize_ungapped_2"
    "\talign_score\tmir_tag_size_diff\tmir2-mir1_align_score\tnum_mir_family\tnum_of_mapped_miRNAs"
    "\tmirna_exact\tiso_5p\tiso_snp\tiso_multi_snp\tiso_3p\toffset_site\tsuppl_compens_site\tcentral_site\n";

mirna_matched_vet_t alignment(uint32_t mirna, int32_t score, uint32_t begin_mirna, uint32_t size,
                              uint32_t size_1, uint32_t size_2, int32_t size_diff)
{
    mirna_matched_vet_t a = alignment_on(mirna, score);
    a.begin_ungapped_mirna = a.begin_ungapped_mirna_1 = a.begin_ungapped_mirna_2 = begin_mirna;
    a.size_ungapped = size;
    a.size_ungapped_1 = size_1;
    a.size_ungapped_2 = size_2;
    a.mir_tag_size_diff = size_diff;
    return a;
}

// Writes the seven files `prefix` + suffix from `state`, threshold 14.
int32_t print(run_state & state, std::string const & prefix, uint32_t threads = 1)
{
    output_staging outputs(false);
    decide_counted_alignments(assignment_rule{}, state.mirna_db.seed_vet, threads, state.results);
    return output_file_print(result_paths_with_prefix(prefix), threads, state.mirna_db.seed_vet, state.results,
                             state.totals, outputs);
}

// Three miRNAs; one unique tag, one ambiguous tag selected for miR-1 and
// one ambiguous tag not selected; a fourth tag of 4 reads mapped nowhere.
void fill_small_run(run_state & state)
{
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet = index_of(
        {{">abc-miR-1-5p MIMAT1 first", "UGGAAUGUAA"}, {">abc-miR-2-3p", "UAUCACAGCC"}, {">abc-let-3", "UCACAACCUC"}});

    mirna_matched_vet_t u = alignment(0, 0, 0, 10, 10, 10, -3);
    u.offset_site = true;
    state.results.result_tag_uniq_vet.push_back(make_tag(1, "UGGAAUGUAAAGA", 4, {u}));

    mirna_matched_vet_t a = alignment(2, 20, 1, 8, 8, 8, 0);
    a.iso_3p = true;
    mirna_matched_vet_t b = alignment(0, 7, 0, 9, 10, 10, 0);
    b.iso_snp = b.central_site = true;
    mirna_matched_vet_t c = alignment(1, 7, 2, 7, 9, 9, 0);
    c.iso_5p = c.offset_site = true;
    state.results.result_tag_ambig_vet.push_back(make_tag(4, "UGGAAUGUAC", 8, {a, b, c}));

    mirna_matched_vet_t d = alignment(1, 30, 0, 7, 8, 10, -1);
    d.iso_5p = true;
    mirna_matched_vet_t e = alignment(2, 40, 0, 6, 6, 6, -1);
    state.results.result_tag_ambig_vet.push_back(make_tag(6, "UAUCACAGCCU", 4, {d, e}));

    // Rows in first-met order: miR-1, let-3, miR-2 (20 reads, 16 mapped).
    result_mirna_uniq_ambig_vet_t mir1 = row_for(seed_vet, 0);
    mir1.uniq_different_tags = 1;
    mir1.uniq_count_tags = mir1.uniq_mirna_exact_tags = mir1.uniq_offset_site_tags = 4;
    mir1.uniq_expressed_all = 20.0f;
    mir1.uniq_expressed_mapped = 25.0f;
    mir1.ambig_different_tags = 1;
    mir1.ambig_count_tags = mir1.ambig_iso_snp_tags = mir1.ambig_central_site_tags = 8;
    mir1.ambig_expressed_all = 40.0f;
    mir1.ambig_expressed_mapped = 50.0f;
    result_mirna_uniq_ambig_vet_t let3 = row_for(seed_vet, 2);
    let3.ambig_different_tags = 2;
    let3.ambig_count_tags = 12;
    let3.ambig_iso_3p_tags = 8;
    let3.ambig_mirna_exact_tags = 4;
    let3.ambig_expressed_all = 60.0f;
    let3.ambig_expressed_mapped = 75.0f;
    result_mirna_uniq_ambig_vet_t mir2 = row_for(seed_vet, 1);
    mir2.ambig_different_tags = 2;
    mir2.ambig_count_tags = mir2.ambig_iso_5p_tags = 12;
    mir2.ambig_offset_site_tags = 8;
    mir2.ambig_expressed_all = 60.0f;
    mir2.ambig_expressed_mapped = 75.0f;
    state.results.result_mirna_uniq_ambig_vet = {mir1, let3, mir2};
}

class output_files : public testing::Test
{
protected:
    std::string prefix() const { return dir.file("x"); }
    std::string result(std::string const & suffix) const { return read_file(prefix() + suffix); }

    run_state state;
    scratch_dir dir;
};

TEST_F(output_files, writes_the_seven_tables_of_a_small_run)
{
    fill_small_run(state);
    testing::internal::CaptureStdout();
    ASSERT_EQ(print(state, prefix()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    std::string const mir1 = "\tUGGAAUGUAA\t>abc-miR-1-5p MIMAT1 first\n";
    std::string const let3 = "\tUCACAACCUC\t>abc-let-3\n";
    std::string const mir2 = "\tUAUCACAGCC\t>abc-miR-2-3p\n";
    std::string const ambiguous_lines =
        "3\t2\t12\t        60\t        75\t4\t0\t0\t0\t8\t0\t0\t0\t0" + let3
        + "2\t2\t12\t        60\t        75\t0\t12\t0\t0\t0\t8\t0\t0\t0" + mir2;

    EXPECT_EQ(result("_unique.txt"),
              norm_header + "1\t1\t4\t        20\t        25\t4\t0\t0\t0\t0\t4\t0\t0\t0" + mir1);
    EXPECT_EQ(result("_ambigue.txt"),
              norm_header + "1\t1\t8\t        40\t        50\t0\t0\t8\t0\t0\t0\t0\t8\t0" + mir1 + ambiguous_lines);
    EXPECT_EQ(result("_tag_unique.txt"),
              tag_unique_header
                  + "1\tUGGAAUGUAAAGA\t\xc3\xa8\t4\t1\t>abc-miR-1-5p MIMAT1 first\tUGGAAUGUAA"
                    "\t0\t0\t0\t10\t10\t10\t0\t-3\t1\t0\t0\t0\t0\t1\t0\t0\n");
    std::string const three_alignments =
        "4\tUGGAAUGUAC\t\xc3\xa8\t8"
        "\t1\t>abc-miR-1-5p MIMAT1 first\tUGGAAUGUAA\t0\t0\t9\t10\t10\t7\t0\t|"
        "\t2\t>abc-miR-2-3p\tUAUCACAGCC\t2\t0\t7\t9\t9\t7\t0\t|"
        "\t3\t>abc-let-3\tUCACAACCUC\t1\t0\t8\t8\t8\t20\t0\t|\n";
    EXPECT_EQ(split_tabs(three_alignments).size(), 4u + 3u * 11u);
    EXPECT_EQ(result("_tag_ambigue.txt"),
              tag_ambigue_header + three_alignments
                  + "6\tUAUCACAGCCU\t\xc3\xa8\t4\t2\t>abc-miR-2-3p\tUAUCACAGCC\t0\t0\t7\t8\t10\t30\t-1\t|"
                    "\t3\t>abc-let-3\tUCACAACCUC\t0\t0\t6\t6\t6\t40\t-1\t|\n");
    EXPECT_EQ(result("_tag_ambigue_selected.txt"),
              selected_header
                  + "4\tUGGAAUGUAC\t\xc3\xa8\t8\t1\t>abc-miR-1-5p MIMAT1 first\tUGGAAUGUAA"
                    "\t0\t0\t0\t9\t10\t10\t7\t0\t0\t3\t3\t0\t0\t1\t0\t0\t0\t0\t1\n");
    EXPECT_EQ(result("_unique_ambigue_selected.txt"),
              no_norm_header + "1\t2\t12\t         0\t         0\t4\t0\t8\t0\t0\t4\t0\t8\t0" + mir1);
    // miR-1's only ambiguous tag was selected for it: it has no line here.
    EXPECT_EQ(result("_ambigue_ambigue_selected.txt"), no_norm_header + ambiguous_lines);

    EXPECT_EQ(state.totals.uniq_mapped_total_tags_count, 4u);
    EXPECT_EQ(state.totals.ambigue_mapped_total_tag_count, 12u);
    EXPECT_EQ(state.totals.ambigue_selected_mapped_total_tag_count, 8u);
    // The sorted order stays in the table; the rows themselves are not changed.
    EXPECT_EQ(state.results.result_tag_ambig_vet[0].mirna_matched_vet[0].mirna_vet_index, 0u);
    EXPECT_EQ(state.results.result_mirna_uniq_ambig_vet[0].ambig_different_tags, 1u);
}

TEST_F(output_files, empty_tables_give_header_only_files)
{
    ASSERT_EQ(print(state, prefix()), 0);
    std::string const expected[] = {norm_header, norm_header, tag_unique_header,
                                     tag_ambigue_header, selected_header, no_norm_header, no_norm_header};
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(result(suffixes[i]), expected[i]) << suffixes[i];
    EXPECT_EQ(state.totals.uniq_mapped_total_tags_count + state.totals.ambigue_mapped_total_tag_count
                  + state.totals.ambigue_selected_mapped_total_tag_count, 0u);
}

TEST_F(output_files, read_totals_do_not_wrap_at_32_bits)
{
    fill_small_run(state);
    std::vector<tag_vet_t> & unique = state.results.result_tag_uniq_vet;
    unique[0].tag_count = 4294967295u;
    unique.push_back(unique[0]);
    unique.back().tag_count = 1;
    state.results.result_tag_ambig_vet[0].tag_count = 5000000000u;
    ASSERT_EQ(print(state, prefix()), 0);
    EXPECT_EQ(state.totals.uniq_mapped_total_tags_count, 4294967296u);
    EXPECT_EQ(state.totals.ambigue_mapped_total_tag_count, 5000000004u);
    EXPECT_EQ(state.totals.ambigue_selected_mapped_total_tag_count, 5000000000u);
    EXPECT_EQ(split_tabs(result("_tag_unique.txt").substr(tag_unique_header.size()))[3], "4294967295");
}

TEST_F(output_files, a_prefix_in_a_missing_directory_is_an_error_and_creates_nothing)
{
    fill_small_run(state);
    std::string const missing = dir.file("missing/x");
    testing::internal::CaptureStderr();
    EXPECT_EQ(print(state, missing), -1);
    std::string const message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("'" + missing + "_unique.txt'"), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_EQ(state.totals.uniq_mapped_total_tags_count, 0u);
}

TEST_F(output_files, stops_at_the_first_file_that_cannot_be_created)
{
    fill_small_run(state);
    std::filesystem::create_directory(prefix() + "_tag_unique.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(print(state, prefix()), -1);
    std::string const message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("'" + prefix() + "_tag_unique.txt'"), std::string::npos) << message;
    EXPECT_EQ(message.find("_tag_ambigue"), std::string::npos) << message;
    EXPECT_EQ(result("_unique.txt"), "");
    EXPECT_FALSE(std::filesystem::exists(prefix() + "_tag_ambigue.txt"));
}

TEST_F(output_files, a_write_error_is_an_error_naming_the_file)
{
    // A few lines fail only when the files are flushed at the end; many lines
    // fail while the table is being written, on one thread or several.
    struct write_case
    {
        std::size_t tags;
        uint32_t threads;
        char const * file;
    };
    write_case const cases[] = {
        {1, 1, "_tag_unique.txt"},           {50000, 1, "_tag_unique.txt"},
        {50000, 2, "_tag_unique.txt"},       {50000, 3, "_tag_ambigue.txt"},
        {50000, 2, "_tag_ambigue_selected.txt"},
    };
    for (write_case const & c : cases)
    {
        scratch_dir full_dir;
        std::string const full_prefix = full_dir.file("x");
        run_state full_run;
        fill_small_run(full_run);
        full_run.results.result_tag_uniq_vet.resize(c.tags, full_run.results.result_tag_uniq_vet[0]);
        full_run.results.result_tag_ambig_vet.resize(c.tags, full_run.results.result_tag_ambig_vet[0]);
        std::filesystem::create_symlink("/dev/full", full_prefix + c.file);
        testing::internal::CaptureStderr();
        EXPECT_EQ(print(full_run, full_prefix, c.threads), -1)
            << c.tags << " tags, " << c.threads << " threads, " << c.file;
        std::string const message = testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find("'" + full_prefix + c.file + "'"), std::string::npos) << message;
    }
}

// A run of many tags: unique tags on every miRNA, and ambiguous tags with 2
// to 6 alignments, ties and scores around the threshold, so that selected
// tags move reads of the same miRNAs from every part of the table.
void fill_large_run(run_state & state, std::size_t unique_tags, std::size_t ambiguous_tags)
{
    std::vector<std::pair<std::string, std::string>> mirnas;
    for (int m = 0; m < 40; ++m)
        mirnas.push_back(
            {">abc-miR-" + std::to_string(m % 13) + (m % 2 ? "a" : "b") + "-5p", "UGGAAUGUAAAGAAGUAUGUAU"});
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet = index_of(mirnas);
    std::vector<tag_vet_t> & result_tag_uniq_vet = state.results.result_tag_uniq_vet;
    std::vector<tag_vet_t> & result_tag_ambig_vet = state.results.result_tag_ambig_vet;

    uint64_t seed = 12345;
    auto next = [&seed](uint32_t below) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return static_cast<uint32_t>((seed >> 33) % below);
    };
    auto random_alignment = [&]() {
        mirna_matched_vet_t a = alignment(next(40), static_cast<int32_t>(next(30)), next(3), 10 + next(12),
                                          11 + next(11), 12 + next(10), static_cast<int32_t>(next(7)) - 3);
        a.seed_index = 0;
        a.iso_5p = next(5) == 0;
        a.iso_snp = next(4) == 0;
        a.iso_multi_snp = next(6) == 0;
        a.iso_3p = next(2) == 0;
        a.offset_site = next(2) == 0;
        a.suppl_compens_site = next(2) == 0;
        a.central_site = next(3) == 0;
        return a;
    };

    std::vector<uint64_t> unique_reads(40), ambiguous_reads(40);
    std::vector<uint32_t> unique_count(40), ambiguous_count(40);
    uint32_t index = 0;
    for (std::size_t t = 0; result_tag_uniq_vet.size() + result_tag_ambig_vet.size() < unique_tags + ambiguous_tags;
         ++t)
    {
        bool const ambiguous = result_tag_uniq_vet.size() == unique_tags
                               || (t % 3 == 1 && result_tag_ambig_vet.size() < ambiguous_tags);
        std::vector<mirna_matched_vet_t> alignments(ambiguous ? 2 + next(5) : 1);
        for (mirna_matched_vet_t & a : alignments)
            a = random_alignment();
        uint64_t const count = 1 + next(1000);
        tag_vet_t tag = make_tag(index += 1 + next(3), "UGGAAUGUAAAGAAGUAU", count, alignments);
        for (mirna_matched_vet_t const & a : alignments)
        {
            (ambiguous ? ambiguous_reads : unique_reads)[a.mirna_vet_index] += count;
            ++(ambiguous ? ambiguous_count : unique_count)[a.mirna_vet_index];
        }
        (ambiguous ? result_tag_ambig_vet : result_tag_uniq_vet).push_back(tag);
    }
    for (uint32_t m = 0; m < 40; ++m)
    {
        result_mirna_uniq_ambig_vet_t row = row_for(seed_vet, m);
        row.uniq_different_tags = unique_count[m];
        row.uniq_count_tags = row.uniq_mirna_exact_tags = unique_reads[m];
        row.uniq_expressed_all = static_cast<float>(m) / 3.0f;
        row.ambig_different_tags = ambiguous_count[m];
        row.ambig_count_tags = row.ambig_iso_3p_tags = row.ambig_offset_site_tags = ambiguous_reads[m];
        row.ambig_expressed_mapped = static_cast<float>(m) / 7.0f;
        state.results.result_mirna_uniq_ambig_vet.push_back(row);
    }
}

// Everything a call leaves: the seven files, the three totals and the
// alignment order kept in the ambiguous table.
struct print_outcome
{
    int32_t status = 0;
    std::vector<std::string> files;
    uint64_t totals[3] = {0, 0, 0};
    std::vector<int32_t> kept_order;

    bool operator==(print_outcome const & o) const
    {
        return status == o.status && files == o.files && totals[0] == o.totals[0] && totals[1] == o.totals[1]
               && totals[2] == o.totals[2] && kept_order == o.kept_order;
    }
};

print_outcome print_large_run(std::string const & prefix, uint32_t threads, std::size_t unique_tags,
                              std::size_t ambiguous_tags)
{
    run_state state;
    fill_large_run(state, unique_tags, ambiguous_tags);
    print_outcome outcome;
    outcome.status = print(state, prefix, threads);
    for (std::string const & suffix : suffixes)
        outcome.files.push_back(read_file(prefix + suffix));
    outcome.totals[0] = state.totals.uniq_mapped_total_tags_count;
    outcome.totals[1] = state.totals.ambigue_mapped_total_tag_count;
    outcome.totals[2] = state.totals.ambigue_selected_mapped_total_tag_count;
    for (tag_vet_t const & tag : state.results.result_tag_ambig_vet)
        for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
            outcome.kept_order.push_back(static_cast<int32_t>(a.mirna_vet_index * 100) + a.align_score);
    return outcome;
}

TEST_F(output_files, every_thread_count_writes_the_same_files_and_totals)
{
    // Sizes below, at and well above what one thread formats at a time.
    std::pair<std::size_t, std::size_t> const sizes[] = {{0, 0}, {1, 2}, {5, 0}, {4096, 4097}, {30011, 17003}};
    for (auto const & [unique_tags, ambiguous_tags] : sizes)
    {
        print_outcome const one = print_large_run(prefix(), 1, unique_tags, ambiguous_tags);
        ASSERT_EQ(one.status, 0);
        // Every tag has its line, and selection changed the tables after it.
        EXPECT_EQ(std::count(one.files[2].begin(), one.files[2].end(), '\n'), 1 + static_cast<long>(unique_tags));
        EXPECT_EQ(std::count(one.files[3].begin(), one.files[3].end(), '\n'), 1 + static_cast<long>(ambiguous_tags));
        if (ambiguous_tags > 1000)
        {
            EXPECT_GT(one.totals[2], 0u);
            EXPECT_LT(one.totals[2], one.totals[1]);
            EXPECT_NE(one.files[1].substr(norm_header.size()), one.files[6].substr(no_norm_header.size()));
        }
        for (uint32_t threads : {2u, 3u, 8u})
        {
            print_outcome const many = print_large_run(prefix(), threads, unique_tags, ambiguous_tags);
            EXPECT_TRUE(many == one) << threads << " threads, " << unique_tags << " unique and "
                                     << ambiguous_tags << " ambiguous tags";
        }
    }
}
}  // namespace
