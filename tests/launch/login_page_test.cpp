#include "launch/login_page.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/html_form_reader.h"

namespace vellamark {
namespace {

using testsupport::PostedFields;
using testsupport::ReadTags;
using Fields = std::vector<std::pair<std::string, std::string>>;

LoginFormValues SampleValues() {
    return {"https://svc.example/p_checkpassword.php?id=20240307093512",
            "alice",
            "secret",
            "093512",
            1234567,
            "",
            "8",
            "2",
            "3.0.38"};
}

Fields ExpectedFields(const LoginFormValues& v) {
    return {{"username", v.username}, {"password", v.password},
            {"time", v.time},         {"seed", std::to_string(v.seed)},
            {"pin1", v.pin1},         {"pin2", v.pin2},
            {"pin3", v.pin3},         {"appver", v.version}};
}

TEST(LoginForm, ShortFormIsTheCoreWithAPlainSubmitButtonAndNothingElse) {
    const LoginFormValues values = SampleValues();
    EXPECT_EQ(CreateShortForm(values),
              "<form name=frm1 id=frm1 accept-charset=iso-8859-1 "
              "action=\"https://svc.example/p_checkpassword.php?id=20240307093512\" method=post>"
              "<input type=hidden name=username value=\"alice\">"
              "<input type=hidden name=password value=\"secret\">"
              "<input type=hidden name=time value=\"093512\">"
              "<input type=hidden name=seed value=\"1234567\">"
              "<input type=hidden name=pin1 value=\"\">"
              "<input type=hidden name=pin2 value=\"8\">"
              "<input type=hidden name=pin3 value=\"2\">"
              "<input type=hidden name=appver value=\"3.0.38\">"
              "<input type=submit></form>");
}

struct TypedRow {
    const char* name;
    std::string username;
    std::string password;
    std::string pin1;
};

class TypedValues : public ::testing::TestWithParam<TypedRow> {};

// Whatever was typed, a browser reading the form gets back exactly that, in both layouts, and
// the form still holds the eight fields in their order.
TEST_P(TypedValues, ReachTheFormExactlyAsTyped) {
    LoginFormValues values = SampleValues();
    values.username = GetParam().username;
    values.password = GetParam().password;
    values.pin1 = GetParam().pin1;
    for (const std::string& html :
         {CreateShortForm(values), CreateFullPage(values, "https://svc.example")}) {
        EXPECT_EQ(PostedFields(html), ExpectedFields(values));
        const auto forms = ReadTags(html, "form");
        ASSERT_EQ(forms.size(), 1U);
        EXPECT_EQ(forms[0].Get("action"), values.checkUrl);
        EXPECT_EQ(forms[0].Get("name"), "frm1");
        EXPECT_EQ(forms[0].Get("method"), "post");
        // Nothing typed opens a tag of its own.
        EXPECT_EQ(html.find("<script>"), std::string::npos);
        EXPECT_EQ(html.find("<b>"), std::string::npos);
        EXPECT_EQ(html.find('\n'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LoginForm, TypedValues,
    ::testing::Values(TypedRow{"Plain", "alice", "secret", "7"},
                      TypedRow{"QuoteAndMarkupInPassword", "alice", "a\"b>c&d", "7"},
                      TypedRow{"MarkupInUsername", "<script>alert('x')</script><b>", "pw", "7"},
                      TypedRow{"ApostropheSpaceEquals", "o'brien smith", "a = 'b'", "'"},
                      TypedRow{"ReferenceLookalike", "&amp;", "&#60;&lt", "&"},
                      TypedRow{"NonAscii", "J\xC3\xBCrgen", "\xE2\x82\xAC\xF0\x9F\x94\x91",
                               "\xC3\xA9"},
                      TypedRow{"ControlCharacters", "tab\there", "line\r\nbreak", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LoginForm, EscapesTheFiveMarkupCharactersAsReferences) {
    EXPECT_EQ(QuotedAttributeValue("a\"b>c&d<e'f"), "\"a&quot;b&gt;c&amp;d&lt;e&#39;f\"");
    EXPECT_EQ(QuotedAttributeValue(""), "\"\"");
    // Non-ASCII as numeric references: the page declares iso-8859-1 and its bytes are UTF-8.
    EXPECT_EQ(QuotedAttributeValue("\xC3\xBC\xE2\x82\xAC"), "\"&#252;&#8364;\"");
    // A byte that is not UTF-8 becomes the replacement character, never a raw byte.
    EXPECT_EQ(QuotedAttributeValue("a\xFF"), "\"a&#65533;\"");
}

TEST(LoginForm, EmptyPinFieldsArePresentWithEmptyValues) {
    LoginFormValues values = SampleValues();
    values.pin1 = values.pin2 = values.pin3 = "";
    const std::string form = CreateShortForm(values);
    for (const char* field : {"pin1", "pin2", "pin3"}) {
        EXPECT_NE(form.find(std::string("name=") + field + " value=\"\">"), std::string::npos)
            << field;
    }
    EXPECT_EQ(PostedFields(form).size(), 8U);
}

TEST(LoginForm, SeedIsPlainDecimalDigits) {
    LoginFormValues values = SampleValues();
    for (const auto& [seed, text] : {std::pair{50, "50"}, std::pair{10000048, "10000048"}}) {
        values.seed = seed;
        EXPECT_NE(CreateShortForm(values).find(std::string("name=seed value=\"") + text + "\">"),
                  std::string::npos)
            << text;
    }
}

TEST(LoginPage, FullPageJoinsHeaderFormButtonAndFooter) {
    const LoginFormValues values = SampleValues();
    const std::string origin = "https://svc.example";
    const std::string page = CreateFullPage(values, origin);
    const std::string button =
        "><p style=\"text-align:right;width:95%\"><input type=submit value=\"Login\" "
        "style=\"FONT-SIZE: 11px;FONT-FAMILY: Verdana, Arial, Helvetica, sans-serif;\"></p></form>";
    EXPECT_EQ(page, CreatePageHeader(origin) + CreateFormCore(values) + button +
                        CreatePageFooter(origin));
    EXPECT_TRUE(page.starts_with("<html><head><title>Vellamark from Ostrand</title>"));
    EXPECT_TRUE(page.ends_with("</td></tr></table>"));
    const std::string sentence =
        "Your login credentials have been loaded into this page, click 'Login' below to access "
        "the system.";
    EXPECT_TRUE(CreatePageHeader(origin).ends_with(sentence));
}

TEST(LoginPage, ImagesAreQuotedInTheBannerAndBareInTheFrame) {
    const std::string header = CreatePageHeader("https://svc.example");
    EXPECT_NE(header.find("<img src=\"https://svc.example/include/logo.gif\">"), std::string::npos);
    EXPECT_NE(header.find("<!-- <img src=\"https://svc.example/include/logo2.gif\"> -->"),
              std::string::npos);
    EXPECT_NE(header.find("<img src=https://svc.example/include/ez1ul.jpg "), std::string::npos);
    EXPECT_NE(header.find("<img src=https://svc.example/include/ez1ur.jpg "), std::string::npos);
    EXPECT_NE(header.find("<img src=\"transparent.gif\" height=2>"), std::string::npos);
    // Only the commented-out logo is hidden; the page shows the rest.
    EXPECT_EQ(header.find("<!--"), header.rfind("<!--"));
}

}  // namespace
}  // namespace vellamark
