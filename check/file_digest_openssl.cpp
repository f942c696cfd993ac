// sha256 from OpenSSL's libcrypto (EVP interface).
#include <openssl/evp.h>

#include "check/file_digest.h"

namespace platform {
namespace {
std::string to_hex(const unsigned char* bytes, unsigned int size) {
  static constexpr char k_digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2U);
  for (unsigned int i = 0; i < size; ++i) {
    hex.push_back(k_digits[bytes[i] >> 4U]);
    hex.push_back(k_digits[bytes[i] & 0x0FU]);
  }
  return hex;
}
}  // namespace

struct c_sha256::state {
  EVP_MD_CTX* context = nullptr;
};

c_sha256::c_sha256() : m_state(new state), m_ok(false) {
  m_state->context = EVP_MD_CTX_new();
  m_ok = m_state->context != nullptr &&
         EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) == 1;
}

c_sha256::~c_sha256() {
  EVP_MD_CTX_free(m_state->context);
  delete m_state;
}

bool c_sha256::update(const void* data, std::size_t size) {
  if (m_ok && size > 0) {
    m_ok = EVP_DigestUpdate(m_state->context, data, size) == 1;
  }
  return m_ok;
}

std::optional<std::string> c_sha256::finish() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!m_ok || EVP_DigestFinal_ex(m_state->context, digest, &size) != 1) {
    m_ok = false;
    return std::nullopt;
  }
  m_ok = false;  // a finished context takes no more bytes
  return to_hex(digest, size);
}

}  // namespace platform
