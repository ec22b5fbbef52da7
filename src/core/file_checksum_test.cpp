#include "core/file_checksum.hpp"

#include <gtest/gtest.h>

#include "core/test_support.hpp"

// The published SHA-256 test vectors: an empty file, one block, a message
// whose padding needs a second block, and a million bytes (read in several
// buffers); a missing file has no checksum.
TEST(FileChecksum, MatchesKnownDigests)
{
    scratch_dir dir;
    auto digest = [&](std::string const & content) {
        write_file(dir.file("f"), content);
        return file_sha256(dir.file("f"));
    };
    EXPECT_EQ(digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(digest(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(file_sha256(dir.file("missing")), "");
}
