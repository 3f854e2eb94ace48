// Encrypting stream buffer for small serialized stores (the web cache's
// metadata). A writer collects the plain bytes and, on close(), writes
//   version (32-bit little-endian) || AES-256-CBC(PKCS#7) ciphertext
// to its sink; a reader reads and decrypts the whole source when it is
// constructed and then serves the plain bytes.
//
// The built-in key and IV only obfuscate: they are derived at run time from
// fixed labels, so anyone with the program can recompute them. They keep
// casual readers and editors out of the store, nothing more.
//
// Failures are thrown as std::runtime_error with the texts below; a stream
// that wraps the buffer turns them into badbit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <vector>

namespace DADI_ZIR::internal {

inline constexpr char kCryptolibInitFailed[] = "Failed to initialize RkCryptoLib";
inline constexpr char kCryptolibKeyTooBig[] = "Requested key is too big";
inline constexpr char kCryptolibIvTooBig[] = "Requested initialization vector is too big";
inline constexpr char kCryptolibInputTooBig[] = "Input is too big";
inline constexpr char kCryptolibWriteFailed[] = "Failed to write encrypted data to stream";
inline constexpr char kCryptolibBadVersion[] =
    "Serialization version number incorrect (possible i/o error or corrupt file)";

class cryptolib_buf : public std::streambuf {
public:
    static constexpr std::size_t kKeySize = 32;  // AES-256; shorter keys are zero-extended
    static constexpr std::size_t kIvSize = 16;
    // A metadata store is a few hundred bytes; anything near this is damage.
    static constexpr std::size_t kMaxInput = 16u << 20;
    static constexpr std::uint32_t kVersion = 1;

    // The obfuscation key and IV, built on each call.
    static std::vector<std::uint8_t> DefaultKey();
    static std::vector<std::uint8_t> DefaultIv();

    explicit cryptolib_buf(std::ostream& sink);
    cryptolib_buf(std::ostream& sink, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv);
    explicit cryptolib_buf(std::istream& source);
    cryptolib_buf(std::istream& source, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv);
    ~cryptolib_buf() override;

    cryptolib_buf(const cryptolib_buf&) = delete;
    cryptolib_buf& operator=(const cryptolib_buf&) = delete;

    // Writer: encrypts what was written and writes it to the sink, once.
    void close();

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    void SetKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv);
    void Append(const char* s, std::size_t n);
    void Load(std::istream& source);

    std::ostream* sink_ = nullptr;
    std::vector<std::uint8_t> key_;
    std::vector<std::uint8_t> iv_;
    std::string plain_;
    bool closed_ = false;
};

}  // namespace DADI_ZIR::internal
