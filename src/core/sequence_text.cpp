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

std::string rna5_to_text(tag_letters const & seq)
{
    static char const letters[] = "ACGUN";
    std::string text(seq.size(), 'N');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = letters[seqan::ordValue(seq[i])];
    return text;
}

std::string rna5_to_text(rna_string const & seq)
{
    static char const letters[] = "ACGUN";
    std::string text(seqan::length(seq), 'N');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = letters[seqan::ordValue(seq[i])];
    return text;
}
