#include "web/certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace tamovox::web {

namespace {

constexpr long kValiditySeconds = 10L * 365 * 24 * 3600;

bool exists(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

bool addExtension(X509* cert, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

bool isIpv4(const std::string& text)
{
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 && b < 256 && c < 256 && d < 256;
}

}  // namespace

std::string ensureCertificate(const std::string& certPath, const std::string& keyPath, const std::string& listenAddress)
{
    if (exists(certPath) && exists(keyPath))
        return {};
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!key || !cert)
        return "cannot create a key";
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    if (FILE* random = std::fopen("/dev/urandom", "rb")) {
        if (std::fread(serial, 1, sizeof serial, random) != sizeof serial)
            serial[0] = 1;
        std::fclose(random);
    }
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValiditySeconds);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Tamo-Vox"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    std::string altNames = "DNS:localhost,IP:127.0.0.1";
    if (isIpv4(listenAddress) && listenAddress != "127.0.0.1" && listenAddress != "0.0.0.0")
        altNames += ",IP:" + listenAddress;
    // Its own authority, so a client can trust exactly this certificate as its CA file.
    if (!addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !addExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
        !addExtension(cert.get(), NID_ext_key_usage, "serverAuth") ||
        !addExtension(cert.get(), NID_subject_key_identifier, "hash") ||
        !addExtension(cert.get(), NID_subject_alt_name, altNames))
        return "cannot add the certificate extensions";
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return "cannot sign the certificate";

    const mode_t old = ::umask(077);
    FILE* keyFile = std::fopen(keyPath.c_str(), "wb");
    ::umask(old);
    if (!keyFile)
        return "cannot write " + keyPath;
    const bool keyOk = PEM_write_PrivateKey(keyFile, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(keyFile);
    FILE* certFile = std::fopen(certPath.c_str(), "wb");
    if (!certFile)
        return "cannot write " + certPath;
    const bool certOk = PEM_write_X509(certFile, cert.get()) == 1;
    std::fclose(certFile);
    return keyOk && certOk ? std::string() : "cannot write the certificate files";
}

}  // namespace tamovox::web
