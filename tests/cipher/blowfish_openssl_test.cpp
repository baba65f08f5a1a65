// Cross-checks against OpenSSL's Blowfish (libcrypto), an implementation written
// independently of this one: the whole key schedule, the published vectors and the ECB mode.
// Native builds only; the Windows test run has no OpenSSL.

// BF_* is deprecated in OpenSSL 3 but is the plain reference implementation we want here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <cstring>
#include <string>

#include "cipher/blowfish.h"
#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"
#include "published_vectors.h"
#include "test_bytes.h"

namespace vellamark {
namespace {

BF_KEY OpenSslKey(const Bytes& key) {
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(key.size()), key.data());
    return schedule;
}

Bytes OpenSslEcb(const BF_KEY& schedule, const Bytes& data, bool encipher) {
    Bytes out(data.size() / 8 * 8);
    for (std::size_t p = 0; p < out.size(); p += 8) {
        BF_ecb_encrypt(data.data() + p, out.data() + p, &schedule,
                       encipher ? BF_ENCRYPT : BF_DECRYPT);
    }
    return out;
}

void ExpectSameSchedule(const BlowfishState& state, const BF_KEY& schedule) {
    for (std::size_t i = 0; i < 18; ++i) {
        ASSERT_EQ(state.PArray[i], schedule.P[i]) << "P[" << i << "]";
    }
    for (std::size_t box = 0; box < 4; ++box) {
        for (std::size_t e = 0; e < 256; ++e) {
            ASSERT_EQ(state.SBoxes[box][e], schedule.S[box * 256 + e])
                << "S" << box + 1 << "[" << e << "]";
        }
    }
}

TEST(OpenSslCrossCheck, KeyScheduleMatchesForEveryKeyLength) {
    for (std::size_t length = 1; length <= 56; ++length) {
        SCOPED_TRACE("key of " + std::to_string(length) + " bytes");
        const Bytes key = test::SeededBytes(length, static_cast<std::uint32_t>(length * 31));
        BlowfishState state;
        ASSERT_TRUE(InitialiseKey(state, key));
        ExpectSameSchedule(state, OpenSslKey(key));
    }
}

TEST(OpenSslCrossCheck, PublishedVectorsAgreeWithOpenSsl) {
    for (const auto& v : test::kEcbVectors) {
        SCOPED_TRACE(std::string(v.key));
        const Bytes key = test::ParseHex(v.key);
        const Bytes plain = test::ParseHex(v.plain);
        EXPECT_EQ(OpenSslEcb(OpenSslKey(key), plain, true), test::ParseHex(v.cipher));
    }
    const Bytes full_key = test::ParseHex(test::kVariableKey);
    const Bytes plain = test::ParseHex(test::kVariableKeyPlain);
    for (std::size_t n = 1; n <= std::size(test::kVariableKeyCiphers); ++n) {
        const Bytes key(full_key.begin(), full_key.begin() + n);
        EXPECT_EQ(OpenSslEcb(OpenSslKey(key), plain, true),
                  test::ParseHex(test::kVariableKeyCiphers[n - 1]))
            << n << " key bytes";
    }
}

TEST(OpenSslCrossCheck, EcbOverArraysMatchesBothWays) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        const Bytes key = test::SeededBytes(1 + (seed * 7) % 56, seed);
        const Bytes data = test::SeededBytes(seed * 37 % 300, seed + 500);
        BlowfishState state;
        ASSERT_TRUE(InitialiseKey(state, key));
        const BF_KEY schedule = OpenSslKey(key);
        EXPECT_EQ(CipherBytesEcb(state, data, true), OpenSslEcb(schedule, data, true))
            << "seed " << seed;
        EXPECT_EQ(CipherBytesEcb(state, data, false), OpenSslEcb(schedule, data, false))
            << "seed " << seed;
    }
}

}  // namespace
}  // namespace vellamark
