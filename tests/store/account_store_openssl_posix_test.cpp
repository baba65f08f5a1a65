// The stored lists against an independent Blowfish: OpenSSL's, under the key derived by hand
// from the key text.
#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <string>

#include "cipher/hex_text.h"
#include "store/account_store.h"
#include "store/registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

class FixedKeys final : public StoreKeySource {
public:
    std::optional<std::string> FileTimeKeyText() override { return "Tuesday2023November14221320"; }
    std::optional<std::string> DateCreatedKeyText() override { return std::nullopt; }
};

// The key text read in pairs after a "0" in front (odd length): "0T", "ue", "sd", "ay", "20",
// "23", "No", "ve", "mb", "er", "14", "22", "13", "20", each as far as its hexadecimal digits go.
const unsigned char kKey[] = {0x00, 0x00, 0x00, 0x0A, 0x20, 0x23, 0x00,
                              0x00, 0x00, 0x0E, 0x14, 0x22, 0x13, 0x20};

std::string OpenSslDecipher(const std::string& hex) {
    BF_KEY key;
    BF_set_key(&key, sizeof kKey, kKey);
    const Bytes cipher = HexTextToBytes(hex);
    std::string plain;
    for (std::size_t at = 0; at + 8 <= cipher.size(); at += 8) {
        unsigned char block[8];
        BF_ecb_encrypt(cipher.data() + at, block, &key, BF_DECRYPT);
        plain.append(reinterpret_cast<const char*>(block), 8);
    }
    // PKCS #5 padding of 1 to 8 bytes.
    const auto pad = plain.empty() ? 0u : static_cast<unsigned char>(plain.back());
    EXPECT_GE(pad, 1u);
    EXPECT_LE(pad, 8u);
    EXPECT_EQ(plain.substr(plain.size() - pad), std::string(pad, static_cast<char>(pad)));
    plain.resize(plain.size() - pad);
    return plain;
}

TEST(OpenSslCrossCheck, StoredListsDecipherWithAnIndependentBlowfish) {
    testsupport::ScratchStore store;
    store.StoreLists({"alice,bob,carol-with-a-longer-name,d,", "pw0,pw1111,pw2222,pw3333,",
                      "1000,1001,1002,1003,"});
    FixedKeys keys;
    AccountStore accounts(keys, store.session());
    ASSERT_TRUE(accounts.ReadAccounts().ok());
    ASSERT_TRUE(accounts.SaveUserDetails({"bob", "fresh password", "4321", false}).ok());
    EXPECT_EQ(accounts.StoreKey(), Bytes(std::begin(kKey), std::end(kKey)));

    auto stored = [](const char* name) {
        return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, name));
    };
    EXPECT_EQ(OpenSslDecipher(stored(kUsernameValue)), "alice,bob,carol-with-a-longer-name,d,");
    EXPECT_EQ(OpenSslDecipher(stored(kPasswordValue)), "pw0,####,pw2222,pw3333,");
    EXPECT_EQ(OpenSslDecipher(stored(kPinValue)), "1000,4321,1002,1003,");
}

}  // namespace
}  // namespace vellamark
