#include "report/qc_verdict.hpp"

#include <cstdio>
#include <string>

namespace
{
enum class grade
{
    pass,
    warn,
    fail,
};

struct check
{
    char const * name;
    double value;     // a share, from 0 to 1
    bool higher_is_better;
    double pass_at;   // the value that passes, at least (or at most)
    double warn_at;   // the value that warns, at least (or at most); beyond it fails
};

grade grade_of(check const & c)
{
    if (c.higher_is_better)
        return c.value >= c.pass_at ? grade::pass : c.value >= c.warn_at ? grade::warn : grade::fail;
    return c.value <= c.pass_at ? grade::pass : c.value <= c.warn_at ? grade::warn : grade::fail;
}

std::string reason(check const & c, grade g)
{
    char text[128];
    double const limit = g == grade::warn ? c.pass_at : c.warn_at;
    std::snprintf(text, sizeof text, "%s %.1f%% (%s %.0f%%)", c.name, 100.0 * c.value, c.higher_is_better ? "<" : ">",
                  100.0 * limit);
    return text;
}

double share(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}
}  // namespace

void judge_library(sample_summary & summary, verdict_inputs const & inputs)
{
    std::vector<check> checks;
    uint64_t const on_mirnas = summary.unique_reads + summary.assigned_reads + summary.ambiguous_unassigned_reads;
    checks.push_back({"miRNA reads", share(on_mirnas, summary.total_reads), true, 0.25, 0.10});
    if (inputs.has_rrna_class)
        checks.push_back({"rRNA reads", share(inputs.rrna_reads, summary.total_reads), false, 0.20, 0.40});
    if (summary.raw_reads > 0)
        checks.push_back({"adapter dimers", share(summary.adapter_dimer_reads, summary.raw_reads), false, 0.10, 0.30});
    uint64_t const counted = summary.unique_reads + summary.assigned_reads + summary.shared_reads;
    if (counted >= 100 && !summary.top_mirnas.empty())
        checks.push_back({"top miRNA", share(summary.top_mirnas.front().second, counted), false, 0.50, 0.80});

    grade worst = grade::pass;
    std::string reasons;
    for (check const & c : checks)
    {
        grade const g = grade_of(c);
        if (g == grade::pass)
            continue;
        worst = g == grade::fail || worst == grade::fail ? grade::fail : grade::warn;
        reasons += (reasons.empty() ? "" : "; ") + reason(c, g);
    }
    summary.qc_verdict = worst == grade::pass ? "pass" : worst == grade::warn ? "warn" : "fail";
    summary.qc_reasons = reasons.empty() ? "none" : reasons;
}
