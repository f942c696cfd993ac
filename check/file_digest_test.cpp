// The sha256 of the platform's library against the published test vectors,
// for text and for files read in parts (a file larger than one read).
#include "check/file_digest.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

struct digest_case {
  const char* what;
  std::string bytes;
  const char* sha256;
};

const digest_case k_vectors[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"a million a", std::string(1000000, 'a'),
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(FileDigest, TextMatchesTheKnownVectors) {
  for (const digest_case& c : k_vectors) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sha256_of_text(c.bytes), std::optional<std::string>(c.sha256));
  }
}

TEST(FileDigest, FilesGiveTheirSizeAndTheSameDigest) {
  test_support::scoped_temp_dir dir;
  for (const digest_case& c : k_vectors) {
    SCOPED_TRACE(c.what);
    const std::optional<file_digest> digest = digest_file(dir.write("input", c.bytes));
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(digest->bytes, c.bytes.size());
    EXPECT_EQ(digest->sha256, c.sha256);
  }
}

TEST(FileDigest, NoDigestForAFileThatCannotBeRead) {
  test_support::scoped_temp_dir dir;
  EXPECT_FALSE(digest_file(dir.file("missing")).has_value());
}

TEST(FileDigest, HashesFedInPartsEqualOneFeed) {
  platform::c_sha256 hash;
  ASSERT_TRUE(hash.update("a", 1));
  ASSERT_TRUE(hash.update("bc", 2));
  EXPECT_EQ(hash.finish(), std::optional<std::string>(
                               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
  // A finished hash takes nothing more.
  EXPECT_FALSE(hash.update("x", 1));
  EXPECT_FALSE(hash.finish().has_value());
}

}  // namespace
