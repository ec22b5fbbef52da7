#!/usr/bin/env python3
"""Writes the bundled example: Tests/mirna_example.txt (mature miRNAs, RNA
letters) and Tests/tag_count_iso_exampl.txt (tags in DNA letters with read
counts). Each tag is built from a mature sequence so that the run shows every
kind of result; the comment beside it says what it is meant to show.
Run from the repository root: python3 Tests/make_example_data.py"""

MATURE = [
    (">hsa-let-7a-5p MIMAT0000062 Homo sapiens let-7a-5p", "UGAGGUAGUAGGUUGUAUAGUU"),
    (">hsa-let-7b-5p MIMAT0000063 Homo sapiens let-7b-5p", "UGAGGUAGUAGGUUGUGUGGUU"),
    (">hsa-let-7c-5p MIMAT0000064 Homo sapiens let-7c-5p", "UGAGGUAGUAGGUUGUAUGGUU"),
    (">hsa-let-7d-5p MIMAT0000065 Homo sapiens let-7d-5p", "AGAGGUAGUAGGUUGCAUAGUU"),
    (">hsa-let-7e-5p MIMAT0000066 Homo sapiens let-7e-5p", "UGAGGUAGGAGGUUGUAUAGUU"),
    (">hsa-let-7f-5p MIMAT0000067 Homo sapiens let-7f-5p", "UGAGGUAGUAGAUUGUAUAGUU"),
    (">hsa-let-7g-5p MIMAT0000414 Homo sapiens let-7g-5p", "UGAGGUAGUAGUUUGUACAGUU"),
    (">hsa-let-7i-5p MIMAT0000415 Homo sapiens let-7i-5p", "UGAGGUAGUAGUUUGUGCUGUU"),
    (">hsa-miR-98-5p MIMAT0000096 Homo sapiens miR-98-5p", "UGAGGUAGUAAGUUGUAUUGUU"),
    (">hsa-let-7a-3p MIMAT0004481 Homo sapiens let-7a-3p", "CUAUACAAUCUACUGUCUUUC"),
    (">hsa-miR-15a-5p MIMAT0000068 Homo sapiens miR-15a-5p", "UAGCAGCACAUAAUGGUUUGUG"),
    (">hsa-miR-15b-5p MIMAT0000417 Homo sapiens miR-15b-5p", "UAGCAGCACAUCAUGGUUUACA"),
    (">hsa-miR-16-5p MIMAT0000069 Homo sapiens miR-16-5p", "UAGCAGCACGUAAAUAUUGGCG"),
    (">hsa-miR-195-5p MIMAT0000461 Homo sapiens miR-195-5p", "UAGCAGCACAGAAAUAUUGGC"),
    (">hsa-miR-21-5p MIMAT0000076 Homo sapiens miR-21-5p", "UAGCUUAUCAGACUGAUGUUGA"),
    (">hsa-miR-21-3p MIMAT0004494 Homo sapiens miR-21-3p", "CAACACCAGUCGAUGGGCUGU"),
    (">mmu-let-7a-5p MIMAT0000521 Mus musculus let-7a-5p", "UGAGGUAGUAGGUUGUAUAGUU"),
    (">mmu-miR-21a-5p MIMAT0000530 Mus musculus miR-21a-5p", "UAGCUUAUCAGACUGAUGUUGA"),
    (">hsa-miR-10a-5p MIMAT0000253 Homo sapiens miR-10a-5p", "UACCCUGUAGAUCCGAAUUUGUG"),
    (">hsa-miR-10b-5p MIMAT0000254 Homo sapiens miR-10b-5p", "UACCCUGUAGAACCGAAUUUGUG"),
    (">hsa-miR-99a-5p MIMAT0000097 Homo sapiens miR-99a-5p", "AACCCGUAGAUCCGAUCUUGUG"),
    (">hsa-miR-100-5p MIMAT0000098 Homo sapiens miR-100-5p", "AACCCGUAGAUCCGAACUUGUG"),
    (">hsa-miR-155-5p MIMAT0000646 Homo sapiens miR-155-5p", "UUAAUGCUAAUCGUGAUAGGGGUU"),
    (">mmu-miR-155-5p MIMAT0000165 Mus musculus miR-155-5p", "UUAAUGCUAAUUGUGAUAGGGGU"),
    (">hsa-miR-1-3p MIMAT0000416 Homo sapiens miR-1-3p", "UGGAAUGUAAAGAAGUAUGUAU"),
    (">hsa-miR-206 MIMAT0000462 Homo sapiens miR-206", "UGGAAUGUAAGGAAGUGUGUGG"),
    (">hsa-miR-122-5p MIMAT0000421 Homo sapiens miR-122-5p", "UGGAGUGUGACAAUGGUGUUUG"),
    (">mmu-miR-122-5p MIMAT0000246 Mus musculus miR-122-5p", "UGGAGUGUGACAAUGGUGUUUG"),
    (">hsa-miR-143-3p MIMAT0000435 Homo sapiens miR-143-3p", "UGAGAUGAAGCACUGUAGCUC"),
    (">hsa-miR-145-5p MIMAT0000437 Homo sapiens miR-145-5p", "GUCCAGUUUUCCCAGGAAUCCCU"),
    (">hsa-miR-200b-3p MIMAT0000318 Homo sapiens miR-200b-3p", "UAAUACUGCCUGGUAAUGAUGA"),
    (">hsa-miR-200c-3p MIMAT0000617 Homo sapiens miR-200c-3p", "UAAUACUGCCGGGUAAUGAUGGA"),
    (">hsa-miR-17-5p MIMAT0000070 Homo sapiens miR-17-5p", "CAAAGUGCUUACAGUGCAGGUAG"),
    (">hsa-miR-20a-5p MIMAT0000075 Homo sapiens miR-20a-5p", "UAAAGUGCUUAUAGUGCAGGUAG"),
    (">hsa-miR-106a-5p MIMAT0000103 Homo sapiens miR-106a-5p", "AAAAGUGCUUACAGUGCAGGUAG"),
    (">hsa-miR-30a-5p MIMAT0000087 Homo sapiens miR-30a-5p", "UGUAAACAUCCUCGACUGGAAG"),
]
SEQ = {h.split()[0][1:]: s for h, s in MATURE}


def dna(rna):
    return rna.replace("U", "T")


def sub(seq, pos, letter):
    return seq[:pos] + letter + seq[pos + 1:]


m21 = SEQ["hsa-miR-21-5p"]
l7a = SEQ["hsa-let-7a-5p"]
TAGS = [  # (tag in DNA letters, read count): what it shows
    (dna(m21), 1200),                           # exact miR-21-5p
    (dna(m21[:-1]), 310),                       # 3' shortened by 1
    (dna(m21[:-2]), 95),                        # 3' shortened by 2
    (dna(m21 + "A"), 180),                      # 3' lengthened (non-templated A)
    (dna(m21[1:]), 64),                         # 5' shifted: first base missing
    (dna("C" + m21), 40),                       # 5' shifted: one extra base
    (dna(sub(m21, 12, "U")), 52),               # one substitution (pos 12 C>U)
    (dna(sub(sub(m21, 9, "U"), 16, "C")), 12),  # two substitutions
    (dna(sub(m21, 0, "A")), 33),                # 5' substitution (pos 0 U>A)
    ("TAGCTT", 5),                              # too short: discarded
    ("TAGCTTA", 7),                             # kept, too short to align
    (dna(l7a), 2500),                           # let-7a: ambiguous in its family and with miR-98
    (dna(l7a[:-2]), 410),                       # let-7a 3' shortened, ambiguous
    (dna(SEQ["hsa-let-7f-5p"]), 220),           # exact let-7f, ambiguous
    (dna(l7a[:16] + "CCCAAA"), 8),              # let-7 start only: best score too high to select
    ("", 0),                                    # an empty line: discarded, still counted
    (dna(SEQ["hsa-miR-16-5p"]), 640),           # miR-16, ambiguous with miR-15a/15b/195
    (dna(SEQ["hsa-miR-15a-5p"]), 150),          # miR-15a, ambiguous across families
    (dna(SEQ["hsa-miR-10b-5p"]), 90),           # miR-10b, ambiguous with miR-10a (one family)
    (dna(SEQ["hsa-miR-200c-3p"]), 75),          # miR-200c, ambiguous with miR-200b (one family)
    (dna(SEQ["hsa-miR-1-3p"]), 300),            # miR-1, ambiguous with miR-206
    (dna(SEQ["hsa-miR-155-5p"]), 130),          # exact miR-155
    (dna(SEQ["hsa-miR-155-5p"][:-1]), 45),      # miR-155 3' shortened
    (dna(SEQ["hsa-miR-122-5p"]), 3000),         # exact miR-122
    (dna(sub(SEQ["hsa-miR-122-5p"], 11, "N")), 6),  # an N in the read is a substitution
    (dna("GAG" + SEQ["hsa-miR-122-5p"]), 9),    # 5' shifted by 3: still accepted
    (dna("GAGA" + SEQ["hsa-miR-122-5p"]), 9),   # 5' shifted by 4: rejected
    (dna(SEQ["hsa-miR-17-5p"]), 120),           # miR-17, ambiguous with miR-20a/106a
    (dna(SEQ["hsa-miR-143-3p"]), 0),            # a tag with no reads
    (dna(SEQ["hsa-miR-145-5p"]), 210),          # exact miR-145
    (dna(SEQ["hsa-miR-30a-5p"]).lower(), 25),   # lower-case t is not turned into U: no match
    (dna(SEQ["hsa-miR-99a-5p"]), 35),           # miR-99a, ambiguous with miR-100
    ("GATTACAGATTACAGATTACA", 14),              # maps nowhere
    ("CCCCCCCCCCCCCCCCCCCC", 3),                # maps nowhere
]

if __name__ == "__main__":
    with open("Tests/mirna_example.txt", "w") as out:
        for header, seq in MATURE:
            out.write(header + "\n" + seq + "\n")
    with open("Tests/tag_count_iso_exampl.txt", "w") as out:
        for tag, count in TAGS:
            out.write("\n" if tag == "" else "%s\t%d\n" % (tag, count))
