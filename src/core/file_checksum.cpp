#include "core/file_checksum.hpp"

#include <cstdio>
#include <memory>
#include <vector>

#include <openssl/evp.h>

std::string file_sha256(std::string const & path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX *)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return "";
    std::vector<unsigned char> buffer(1 << 20);
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        if (EVP_DigestUpdate(context.get(), buffer.data(), got) != 1)
            return "";
    if (std::ferror(file.get()))
        return "";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1)
        return "";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i)
    {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", digest[i]);
        hex += digits;
    }
    return hex;
}
