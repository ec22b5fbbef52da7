// Runs the real binary twice on the same inputs with two option sets and
// compares everything a run leaves: the nine files it writes, standard
// output, standard error and the exit status, byte for byte.
//
//   engine_equality random BINARY ROUNDS SEED
//       random miRNA and tag files and random options, each round run with
//       the reference search, then with --threads 1, 2 and 3; the reference
//       and --threads 2 and 3 must all give what --threads 1 gives.
//   engine_equality files BINARY "OPTIONS_A" "OPTIONS_B" MATURE_FILE TAG_FILE [OPTION...]
//       the given inputs run with OPTIONS_A and with OPTIONS_B (blank-separated
//       lists), both followed by the common OPTIONs.
//
// Exit status 0 when every comparison holds, 1 on a difference, 2 on misuse.
// A scratch folder under /tmp holds the runs; it is kept on a difference.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using arguments = std::vector<std::string>;

// What one run of the binary left behind.
struct run_result
{
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::pair<std::string, std::string>> files;  // name, content ("" when absent)
    std::vector<bool> present;
};

// The files a run with "-m db" writes into its working folder.
std::vector<std::string> const written_files = {
    "db_db_group.txt",
    "db_db_group_sorted.txt",
    "out_result_db_unique.txt",
    "out_result_db_ambigue.txt",
    "out_result_db_tag_unique.txt",
    "out_result_db_tag_ambigue.txt",
    "out_result_db_tag_ambigue_selected.txt",
    "out_result_db_unique_ambigue_selected.txt",
    "out_result_db_ambigue_ambigue_selected.txt",
};

bool read_file(std::string const & path, std::string & content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool write_file(std::string const & path, std::string const & content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}

arguments split_blanks(std::string const & text)
{
    arguments words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string joined(arguments const & words)
{
    std::string text;
    for (std::string const & word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

// Runs binary with `options` after "-i ../in -m db -t reads", in folder
// `folder` (made anew), and collects what it left.
run_result run_binary(std::string const & binary, std::string const & folder, arguments const & options)
{
    run_result result;
    if (mkdir(folder.c_str(), 0700) != 0)
    {
        std::cerr << "cannot make " << folder << ": " << std::strerror(errno) << '\n';
        return result;
    }
    arguments all = {binary, "-i", "../in", "-m", "db", "-t", "reads"};
    all.insert(all.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string & word : all)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    pid_t const child = fork();
    if (child == 0)
    {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        int const out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int const err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
    {
        std::cerr << "cannot run " << binary << '\n';
        return result;
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    read_file(folder + "/.stdout", result.out);
    read_file(folder + "/.stderr", result.err);
    for (std::string const & name : written_files)
    {
        std::string content;
        result.present.push_back(read_file(folder + "/" + name, content));
        result.files.emplace_back(name, content);
    }
    return result;
}

// The first line where two texts differ, for the report.
std::string first_difference(std::string const & a, std::string const & b)
{
    std::istringstream in_a(a), in_b(b);
    std::string line_a, line_b;
    for (int line = 1;; ++line)
    {
        bool const more_a = static_cast<bool>(std::getline(in_a, line_a));
        bool const more_b = static_cast<bool>(std::getline(in_b, line_b));
        if (!more_a && !more_b)
            return "(line ends differ)";
        if (!more_a || !more_b || line_a != line_b)
            return "line " + std::to_string(line) + ":\n    < " + (more_a ? line_a : "(end)") + "\n    > " +
                   (more_b ? line_b : "(end)");
    }
}

// Compares two runs; prints every difference under `label`. True when equal.
bool same_runs(run_result const & a, run_result const & b, std::string const & label)
{
    bool same = true;
    auto differs = [&](std::string const & what, std::string const & detail) {
        std::cout << "DIFFERENCE (" << label << ") in " << what << ": " << detail << '\n';
        same = false;
    };
    if (a.status != b.status)
        differs("exit status", std::to_string(a.status) + " against " + std::to_string(b.status));
    if (a.out != b.out)
        differs("standard output", first_difference(a.out, b.out));
    if (a.err != b.err)
        differs("standard error", first_difference(a.err, b.err));
    for (std::size_t f = 0; f < written_files.size(); ++f)
    {
        if (a.present[f] != b.present[f])
            differs(written_files[f], std::string("written by only one run"));
        else if (a.files[f].second != b.files[f].second)
            differs(written_files[f], first_difference(a.files[f].second, b.files[f].second));
    }
    return same;
}

// A fresh scratch folder with an "in" folder for the inputs.
std::string make_scratch()
{
    char pattern[] = "/tmp/mirsight_equality_XXXXXX";
    char const * made = mkdtemp(pattern);
    if (!made)
        return "";
    std::string const root = made;
    mkdir((root + "/in").c_str(), 0700);
    return root;
}

void remove_tree(std::string const & path)
{
    std::string const command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        std::cerr << "cannot remove " << path << '\n';
}

// ---- random inputs ------------------------------------------------------

struct random_source
{
    std::mt19937_64 engine;
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(engine() % n); }
    bool chance(uint32_t percent) { return below(100) < percent; }
    char pick(char const * alphabet) { return alphabet[below(static_cast<uint32_t>(std::strlen(alphabet)))]; }
    std::string letters(uint32_t n, char const * alphabet)
    {
        std::string text;
        for (uint32_t i = 0; i < n; ++i)
            text += pick(alphabet);
        return text;
    }
    template <typename T>
    T const & one_of(std::vector<T> const & values)
    {
        return values[below(static_cast<uint32_t>(values.size()))];
    }
};

struct mature_record
{
    std::string header;
    std::string sequence;
};

// Families share their first ten letters, so every seed of up to eight
// letters from position 0 to 2 is shared by the family, across species.
std::vector<mature_record> random_mature(random_source & random)
{
    std::vector<std::string> const species = {"hsa", "mmu", "rno", "gga"};
    std::vector<std::string> const names = {"let-7", "miR-21", "miR-2", "miR-17", "miR-103", "lin-4", "miR-7"};
    std::vector<mature_record> records;
    uint32_t const families = 10 + random.below(60);
    for (uint32_t family = 0; family < families; ++family)
    {
        std::string const core = random.letters(10, "ACGU");
        std::string const name = random.one_of(names) + std::to_string(family % 5);
        for (uint32_t member = 1 + random.below(5); member > 0; --member)
        {
            std::string sequence = core;
            if (random.chance(15))
                sequence[0] = random.pick("ACGU");  // another 5' letter, same seed from position 1
            sequence += random.letters(8 + random.below(8), random.chance(5) ? "ACGUN" : "ACGU");
            if (random.chance(5))
                for (char & c : sequence)
                    c = static_cast<char>(c - 'A' + 'a');  // lower-case record
            std::string const header = ">" + random.one_of(species) + "-" + name + random.pick("abc") +
                                       random.one_of(std::vector<std::string>{"", "-5p", "-3p"}) + " MIMAT" +
                                       std::to_string(1000000 + records.size());
            records.push_back({header, sequence});
        }
    }
    return records;
}

std::string mature_text(random_source & random, std::vector<mature_record> const & records)
{
    std::string text;
    for (mature_record const & record : records)
    {
        text += record.header + "\n";
        if (random.chance(10) && record.sequence.size() > 12)  // wrapped over two lines
            text += record.sequence.substr(0, 12) + "\n" + record.sequence.substr(12) + "\n";
        else
            text += record.sequence + "\n";
    }
    return text;
}

// A read of a miRNA with isomiR changes, in DNA letters.
std::string isomir_read(random_source & random, std::string sequence)
{
    for (char & c : sequence)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (uint32_t changes = random.one_of(std::vector<uint32_t>{0, 0, 0, 1, 1, 2, 3}); changes > 0; --changes)
        sequence[random.below(static_cast<uint32_t>(sequence.size()))] = random.pick("ACGUN");
    if (random.chance(20))
        sequence.erase(0, 1 + random.below(2));
    else if (random.chance(15))
        sequence = random.letters(1 + random.below(3), "ACGU") + sequence;
    if (random.chance(35))
        sequence.resize(sequence.size() - std::min<std::size_t>(sequence.size(), 1 + random.below(4)));
    else if (random.chance(25))
        sequence += random.letters(1 + random.below(3), "ACGU");
    if (random.chance(8))
        sequence += sequence;  // the seed twice
    for (char & c : sequence)
    {
        if (c == 'U')
            c = 'T';
        if (random.chance(1))
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return sequence;
}

std::string tag_text(random_source & random, std::vector<mature_record> const & records)
{
    std::string text;
    for (uint32_t tags = 200 + random.below(2500); tags > 0; --tags)
    {
        std::string const sequence = random.chance(60)
                                         ? isomir_read(random, random.one_of(records).sequence)
                                         : random.letters(random.below(41), random.chance(10) ? "ACGTN" : "ACGT");
        std::string count = std::to_string(random.chance(70) ? 1 + random.below(5) : random.below(100000));
        if (random.chance(1))
            count = "x";
        text += sequence + "\t" + count + (random.chance(3) ? "\r\n" : "\n");
    }
    return text;
}

arguments random_options(random_source & random)
{
    arguments options = {"-s", random.one_of(std::vector<std::string>{"hsa", "hsa mmu", "mmu rno hsa gga", "gga", "xyz"}),
                         "-ss", std::to_string(5 + random.below(4)), "-sb", std::to_string(random.below(3))};
    struct optional_value
    {
        char const * option;
        std::vector<std::string> values;
    };
    std::vector<optional_value> const optional = {
        {"-se", {"0", "5", "7", "9"}}, {"-b", {"0", "2", "4", "6"}}, {"-l", {"8", "10", "12", "-1"}},
        {"-h", {"0", "14", "30", "101"}}};
    for (optional_value const & o : optional)
        if (random.chance(35))
            options.insert(options.end(), {o.option, random.one_of(o.values)});
    if (random.chance(15))
        options.push_back("-r");
    return options;
}

arguments with(arguments options, arguments const & more)
{
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

// Lines of a result file after its header.
std::size_t rows_after_header(run_result const & run, std::string const & name)
{
    for (std::size_t f = 0; f < written_files.size(); ++f)
        if (written_files[f] == name)
        {
            std::string const & content = run.files[f].second;
            std::size_t const lines = static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n'));
            return lines > 0 ? lines - 1 : 0;
        }
    return 0;
}

int random_rounds(std::string const & binary, uint32_t rounds, uint64_t seed)
{
    random_source random{std::mt19937_64(seed)};
    std::size_t mapped_rows = 0;
    for (uint32_t round = 1; round <= rounds; ++round)
    {
        std::string const root = make_scratch();
        if (root.empty())
        {
            std::cerr << "cannot make a scratch folder\n";
            return 2;
        }
        std::vector<mature_record> const records = random_mature(random);
        if (!write_file(root + "/in/db.txt", mature_text(random, records)) ||
            !write_file(root + "/in/reads.txt", tag_text(random, records)))
        {
            std::cerr << "cannot write the inputs in " << root << '\n';
            return 2;
        }
        arguments const options = random_options(random);
        std::string const label = "round " + std::to_string(round) + ", seed " + std::to_string(seed) + ", options " + joined(options);

        run_result const one = run_binary(binary, root + "/threads1", with(options, {"--threads", "1"}));
        run_result const reference = run_binary(binary, root + "/reference", with(options, {"--reference-search"}));
        run_result const two = run_binary(binary, root + "/threads2", with(options, {"--threads", "2"}));
        run_result const three = run_binary(binary, root + "/threads3", with(options, {"--threads", "3"}));
        bool const same = same_runs(reference, one, label + ": reference search against --threads 1") &
                          same_runs(one, two, label + ": --threads 1 against 2") &
                          same_runs(one, three, label + ": --threads 1 against 3");
        if (!same || one.status != 0)
        {
            std::cout << "FAIL: " << label << (one.status != 0 ? " (the run failed)" : "")
                      << "; inputs and runs kept in " << root << '\n';
            return 1;
        }
        mapped_rows += rows_after_header(one, "out_result_db_tag_unique.txt") +
                       rows_after_header(one, "out_result_db_tag_ambigue.txt");
        remove_tree(root);
    }
    // Inputs that map nothing would make every comparison hold trivially.
    if (rounds > 0 && mapped_rows == 0)
    {
        std::cout << "FAIL: no round mapped a single tag\n";
        return 1;
    }
    std::cout << "PASS: " << rounds << " random rounds, " << mapped_rows
              << " mapped tag lines, the same with the reference search and 1, 2 and 3 threads\n";
    return 0;
}

std::string absolute(std::string const & path)
{
    char * resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return "";
    std::string const result = resolved;
    std::free(resolved);
    return result;
}

int compare_files(std::string const & binary, arguments const & options_a, arguments const & options_b,
                  std::string const & mature_file, std::string const & tag_file, arguments const & common)
{
    std::string const mature = absolute(mature_file);
    std::string const tags = absolute(tag_file);
    if (mature.empty() || tags.empty())
    {
        std::cerr << "cannot find the input files\n";
        return 2;
    }
    std::string const root = make_scratch();
    if (root.empty() || symlink(mature.c_str(), (root + "/in/db.txt").c_str()) != 0 ||
        symlink(tags.c_str(), (root + "/in/reads.txt").c_str()) != 0)
    {
        std::cerr << "cannot prepare a scratch folder\n";
        return 2;
    }
    run_result const a = run_binary(binary, root + "/a", with(common, options_a));
    run_result const b = run_binary(binary, root + "/b", with(common, options_b));
    std::string const label = "'" + joined(options_a) + "' against '" + joined(options_b) + "'";
    if (!same_runs(a, b, label))
    {
        std::cout << "FAIL: " << label << "; runs kept in " << root << '\n';
        return 1;
    }
    remove_tree(root);
    std::cout << "PASS: " << label << " give the same files, log and status (" << a.status << ")\n";
    return 0;
}

int usage()
{
    std::cerr << "usage: engine_equality random BINARY ROUNDS SEED\n"
                 "       engine_equality files BINARY \"OPTIONS_A\" \"OPTIONS_B\" MATURE_FILE TAG_FILE [OPTION...]\n";
    return 2;
}
}  // namespace

int main(int argc, char * argv[])
{
    arguments const args(argv + 1, argv + argc);
    if (args.size() < 2)
        return usage();
    std::string const binary = absolute(args[1]);
    if (binary.empty())
    {
        std::cerr << "cannot find the binary " << args[1] << '\n';
        return 2;
    }
    if (args[0] == "random" && args.size() == 4)
        return random_rounds(binary, static_cast<uint32_t>(std::strtoul(args[2].c_str(), nullptr, 10)),
                             std::strtoull(args[3].c_str(), nullptr, 10));
    if (args[0] == "files" && args.size() >= 6)
        return compare_files(binary, split_blanks(args[2]), split_blanks(args[3]), args[4], args[5],
                             arguments(args.begin() + 6, args.end()));
    return usage();
}
