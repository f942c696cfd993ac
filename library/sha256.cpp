#include "library/sha256.h"

#include <cstdio>
#include <memory>

namespace vemora::detail {
namespace {
constexpr std::uint32_t k_rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotate_right(std::uint32_t value, unsigned by) {
  return (value >> by) | (value << (32 - by));
}
}  // namespace

sha256::sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void sha256::compress(const unsigned char* block) {
  std::uint32_t w[64];
  for (std::size_t i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
  }
  for (std::size_t i = 16; i < 64; ++i) {
    const std::uint32_t s0 =
        rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 =
        rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
  std::uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint32_t s1 = rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25);
    const std::uint32_t choice = (e & f) ^ (~e & g);
    const std::uint32_t t1 = h + s1 + choice + k_rounds[i] + w[i];
    const std::uint32_t s0 = rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22);
    const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const std::uint32_t t2 = s0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  m_state[0] += a;
  m_state[1] += b;
  m_state[2] += c;
  m_state[3] += d;
  m_state[4] += e;
  m_state[5] += f;
  m_state[6] += g;
  m_state[7] += h;
}

void sha256::add(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  m_total += size;
  while (size != 0) {
    if (m_filled == 0 && size >= 64) {
      compress(bytes);
      bytes += 64;
      size -= 64;
      continue;
    }
    const std::size_t take = std::min(size, 64 - m_filled);
    std::copy(bytes, bytes + take, m_block.begin() + static_cast<std::ptrdiff_t>(m_filled));
    m_filled += take;
    bytes += take;
    size -= take;
    if (m_filled == 64) {
      compress(m_block.data());
      m_filled = 0;
    }
  }
}

std::string sha256::finish_hex() {
  const std::uint64_t bits = m_total * 8;
  const unsigned char one = 0x80;
  add(&one, 1);
  const unsigned char zero = 0;
  while (m_filled != 56) {
    add(&zero, 1);
  }
  unsigned char length[8];
  for (std::size_t i = 0; i < 8; ++i) {
    length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  }
  add(length, 8);
  static constexpr char k_digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (const std::uint32_t word : m_state) {
    for (int shift = 28; shift >= 0; shift -= 4) {
      hex.push_back(k_digits[(word >> shift) & 0xF]);
    }
  }
  return hex;
}

std::string sha256_hex(std::string_view bytes) {
  sha256 digest;
  digest.add(bytes.data(), bytes.size());
  return digest.finish_hex();
}

std::optional<file_digest_result> sha256_of_file(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    return std::nullopt;
  }
  sha256 digest;
  file_digest_result result;
  std::unique_ptr<char[]> buffer(new char[1 << 16]);
  for (;;) {
    const std::size_t got = std::fread(buffer.get(), 1, 1 << 16, file.get());
    if (got == 0) {
      break;
    }
    digest.add(buffer.get(), got);
    result.bytes += got;
  }
  if (std::ferror(file.get()) != 0) {
    return std::nullopt;
  }
  result.sha256 = digest.finish_hex();
  return result;
}

}  // namespace vemora::detail
