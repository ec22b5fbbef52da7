#include "core/sequence_text.hpp"

rna_string text_to_rna5(std::string const & text)
{
    rna_string seq;
    seqan::resize(seq, text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        char letter = 'N';
        switch (text[i])
        {
            case 'A': case 'a': letter = 'A'; break;
            case 'C': case 'c': letter = 'C'; break;
            case 'G': case 'g': letter = 'G'; break;
            case 'U': case 'u': letter = 'U'; break;
            default: break;
        }
        seq[i] = letter;  // the library maps these five letters one to one
    }
    return seq;
}

void append_rna5_text(std::string & out, seqan::Rna5 const * first, std::size_t count)
{
    static char const letters[] = "ACGUN";
    std::size_t const at = out.size();
    out.resize(at + count);
    char * const text = &out[at];
    for (std::size_t i = 0; i < count; ++i)
        text[i] = letters[seqan::ordValue(first[i])];
}

std::string rna5_to_text(tag_letters const & seq)
{
    std::string text;
    append_rna5_text(text, seq.begin(), seq.size());
    return text;
}

std::string rna5_to_text(rna_string const & seq)
{
    std::string text;
    append_rna5_text(text, seqan::begin(seq, seqan::Standard()), seqan::length(seq));
    return text;
}
