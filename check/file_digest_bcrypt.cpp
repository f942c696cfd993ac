// sha256 from the system's cryptography library (BCrypt), as every Windows
// since Vista has it.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>

#include <algorithm>
#include <limits>

#include "check/file_digest.h"

namespace platform {
namespace {
constexpr ULONG k_sha256_size = 32;

bool succeeded(NTSTATUS status) { return status >= 0; }

std::string to_hex(const unsigned char* bytes, ULONG size) {
  static constexpr char k_digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2U);
  for (ULONG i = 0; i < size; ++i) {
    hex.push_back(k_digits[bytes[i] >> 4U]);
    hex.push_back(k_digits[bytes[i] & 0x0FU]);
  }
  return hex;
}
}  // namespace

struct c_sha256::state {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

c_sha256::c_sha256() : m_state(new state), m_ok(false) {
  m_ok = succeeded(BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_SHA256_ALGORITHM,
                                               nullptr, 0)) &&
         succeeded(BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0));
}

c_sha256::~c_sha256() {
  if (m_state->hash != nullptr) {
    BCryptDestroyHash(m_state->hash);
  }
  if (m_state->algorithm != nullptr) {
    BCryptCloseAlgorithmProvider(m_state->algorithm, 0);
  }
  delete m_state;
}

bool c_sha256::update(const void* data, std::size_t size) {
  // BCrypt takes at most a ULONG of bytes per call.
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (m_ok && size > 0) {
    const std::size_t part = std::min<std::size_t>(size, std::numeric_limits<ULONG>::max());
    m_ok = succeeded(
        BCryptHashData(m_state->hash, const_cast<PUCHAR>(bytes), static_cast<ULONG>(part), 0));
    bytes += part;
    size -= part;
  }
  return m_ok;
}

std::optional<std::string> c_sha256::finish() {
  unsigned char digest[k_sha256_size];
  if (!m_ok || !succeeded(BCryptFinishHash(m_state->hash, digest, k_sha256_size, 0))) {
    m_ok = false;
    return std::nullopt;
  }
  m_ok = false;  // a finished hash takes no more bytes
  return to_hex(digest, k_sha256_size);
}

}  // namespace platform
